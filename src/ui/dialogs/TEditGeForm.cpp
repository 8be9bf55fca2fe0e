#include "ui/dialogs/TEditGeForm.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
QFont PixelFont(int px)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(px);
    return font;
}
}

TEditGeForm::TEditGeForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("EditGeForm"));
    setWindowTitle(QStringLiteral("Ge"));
    setFixedSize(352, 120);
    setModal(true);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    m_label1 = new QLabel(QStringLiteral("Введите эталонное значение расхода (М3/ч):"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(PixelFont(16));
    m_label1->setGeometry(12, 10, 330, 22);

    m_editGe = new QLineEdit(QStringLiteral("0"), this);
    m_editGe->setObjectName(QStringLiteral("EditGe"));
    m_editGe->setFont(PixelFont(16));
    m_editGe->setGeometry(12, 40, 328, 26);
    m_editGe->installEventFilter(this);

    m_button1 = new QPushButton(QStringLiteral("Ок"), this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setFont(PixelFont(14));
    m_button1->setGeometry(126, 78, 100, 32);
    m_button1->setAutoDefault(false);
    connect(m_button1, &QPushButton::clicked, this, &TEditGeForm::Button1Click);
}

double TEditGeForm::Ask()
{
    exec();
    return GeValue;
}

void TEditGeForm::EditGeExit()
{
    if (m_bInExit)
        return;
    m_bInExit = true;
    double value = 0;
    const std::string text = m_editGe->text().toStdString();
    if (!text.empty()) {
        try {
            value = StrToFloat(FixDecimalSeparator(text));
        } catch (const EConvertError& e) {
            Operator().MessageDialog(MsgIcon::Error, e.what());
            value = 0;
        }
    }
    GeValue = value;
    m_bExited = true;
    m_editGe->setText(QString::fromStdString(FixDecimalSeparator(FormatC("%.3f", value))));
    m_bInExit = false;
}

void TEditGeForm::Button1Click()
{
    // A click has taken the focus from the edit, which ran EditGeExit; a
    // button pressed from the keyboard has not.
    if (!m_bExited)
        EditGeExit();
    accept();
}

bool TEditGeForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editGe) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (!m_bExited)
                    EditGeExit();
                accept();
                return true;
            }
            m_bExited = false;
        } else if (event->type() == QEvent::FocusIn) {
            m_bExited = false;
        } else if (event->type() == QEvent::FocusOut) {
            // Leaving the edit within the dialog, not the dialog losing activation.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && isVisible() &&
                !m_bExited)
                EditGeExit();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TEditGeForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void TEditGeForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_bExited = false;
    m_editGe->setFocus(Qt::OtherFocusReason);
    m_editGe->selectAll();
}
