#include "ui/dialogs/TAddCurGiGePair.h"

#include "ui/platform/BusWork.h"
#include "workstation/PairsBackup.h"
#include "workstation/WorkFolders.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>

namespace {

QTreeWidget* PairList(QWidget* parent, const char* name, int left)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHeaderLabels({QStringLiteral("№"), QStringLiteral("Ge"), QStringLiteral("Gi")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    list->setGeometry(left, 54, 241, 337);
    return list;
}

}  // namespace

TAddCurGiGePair::TAddCurGiGePair(QWidget* parent) : QDialog(parent), m_sBackupDir(CWorkFolders().BackupDir())
{
    setObjectName(QStringLiteral("AddCurGiGePair"));
    setWindowTitle(QStringLiteral("Добавление градуировочных пар"));
    setFixedSize(537, 393);

    auto* toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("ToolBar2"));
    toolBar->setGeometry(0, 0, 537, 29);
    toolBar->setIconSize(QSize(24, 24));
    SaveGiGeToDevice = toolBar->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QString());
    SaveGiGeToDevice->setObjectName(QStringLiteral("SaveGiGeToDevice"));
    SaveGiGeToDevice->setToolTip(QStringLiteral("Передача градуировочных пар в прибор"));
    connect(SaveGiGeToDevice, &QAction::triggered, this, &TAddCurGiGePair::SaveGiGeToDeviceClick);

    auto* label1 = new QLabel(QStringLiteral("Формируемая градуировка"), this);
    label1->move(8, 35);
    label1->adjustSize();
    auto* label2 = new QLabel(QStringLiteral("Текущая градуировка"), this);
    label2->move(303, 35);
    label2->adjustSize();
    ListView1 = PairList(this, "ListView1", 0);
    ListView2 = PairList(this, "ListView2", 295);

    BitBtn1 = new QPushButton(QStringLiteral(">>"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(247, 96, 42, 89);
    BitBtn1->setToolTip(QStringLiteral("Убрать отмеченные пары из формируемой градуировки"));
    connect(BitBtn1, &QPushButton::clicked, this, &TAddCurGiGePair::BitBtn1Click);
    BtnAddTo = new QPushButton(QStringLiteral("<<"), this);
    BtnAddTo->setObjectName(QStringLiteral("BtnAddTo"));
    BtnAddTo->setGeometry(247, 232, 42, 89);
    BtnAddTo->setToolTip(QStringLiteral("Добавить отмеченные пары прибора в формируемую градуировку"));
    connect(BtnAddTo, &QPushButton::clicked, this, &TAddCurGiGePair::BtnAddToClick);
}

TAddCurGiGePair* TAddCurGiGePair::Instance(QWidget* parent)
{
    static QPointer<TAddCurGiGePair> dialog;
    if (!dialog)
        dialog = new TAddCurGiGePair(parent);
    return dialog;
}

void TAddCurGiGePair::FillList(QTreeWidget* list, CGiGeArray& table)
{
    list->clear();
    CListItems items;
    table.FillListItems(items);
    for (const CListItem& item : items) {
        auto* row = new QTreeWidgetItem(list, {QString::fromStdString(item.Caption),
                                               QString::fromStdString(item.SubItems[0]),
                                               QString::fromStdString(item.SubItems[1])});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
    }
}

bool TAddCurGiGePair::Prepare(connection& conn, const CGiGeArray& table)
{
    m_pConnection = &conn;
    ListView1->clear();
    ListView2->clear();
    m_GiGeArray.Assign(table);
    FillList(ListView1, m_GiGeArray);

    CGiGeArray inMeter(m_GiGeArray);
    int result = 0;
    RunBusWork([&] { result = inMeter.ReadFromMeter(&conn); }, this);
    if (result != 0) {
        ListView2->clear();
        return false;
    }
    FillList(ListView2, inMeter);
    return true;
}

int TAddCurGiGePair::Execute(connection& conn, const CGiGeArray& table)
{
    return Prepare(conn, table) ? exec() : 0;
}

void TAddCurGiGePair::BtnAddToClick()
{
    for (int i = 0; i < ListView2->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView2->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked)
            continue;
        item->setCheckState(0, Qt::Unchecked);
        // A text that is no number is refused with a message; the formed pairs stay.
        m_GiGeArray.AddPairFromText(item->text(2).toStdString(), item->text(1).toStdString());
    }
    FillList(ListView1, m_GiGeArray);
}

void TAddCurGiGePair::BitBtn1Click()
{
    for (int i = ListView1->topLevelItemCount() - 1; i >= 0; --i)
        if (ListView1->topLevelItem(i)->checkState(0) == Qt::Checked)
            m_GiGeArray.DeletePair(i);
    FillList(ListView1, m_GiGeArray);
}

void TAddCurGiGePair::SaveGiGeToDeviceClick()
{
    if (!m_pConnection)
        return;
    connection* conn = m_pConnection;
    RunBusWork([this, conn] { WritePairsAfterBackup(*conn, m_GiGeArray, m_sBackupDir); }, this);
}
