#include "ui/dialogs/TAboutBox.h"

#include "common/FileVersion.h"
#include "ui/platform/ProgramTitle.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <unistd.h>

// Resources of a static library are registered by hand, outside any namespace.
static void InitResources()
{
    Q_INIT_RESOURCE(vq7ui);
}

namespace {
std::string RunningProgram()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
}
}  // namespace

TAboutBox::TAboutBox(QWidget* parent, const std::string& programPath) : QDialog(parent)
{
    InitResources();
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(false);
    setFixedSize(299, 273);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ProgramIcon = new QLabel(panel);
    ProgramIcon->setPixmap(QIcon(QStringLiteral(":/vq7/vq7station.svg")).pixmap(64, 64));
    ProductName = new QLabel(ProgramTitle(), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->setWordWrap(true);
    Version = new QLabel(QStringLiteral("Версия "), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Copyright = new QLabel(QStringLiteral("© Разработчики vq7station, 2003–2026"), panel);
    Copyright->setWordWrap(true);
    Comments = new QLabel(
        QStringLiteral("Программа предназначена для проведения градуировки, поверки канала расхода ВЯ-7, ДЗВ-7, ФЖ-7."),
        panel);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setWordWrap(true);

    auto* top = new QHBoxLayout;
    top->addWidget(ProgramIcon, 0, Qt::AlignTop);
    top->addWidget(ProductName, 1);
    auto* inner = new QVBoxLayout(panel);
    inner->addLayout(top);
    inner->addWidget(Version);
    inner->addWidget(Copyright);
    inner->addWidget(Comments);
    inner->addStretch(1);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel, 1);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);

    unsigned major, minor, release, build;
    if (GetFileVersion(programPath.empty() ? RunningProgram() : programPath, major, minor, release, build))
        Version->setText(QStringLiteral("Версия: %1.%2.%3.%4").arg(major).arg(minor).arg(release).arg(build));
}

TAboutBox* TAboutBox::ShowAbout(QWidget* parent)
{
    static QPointer<TAboutBox> box;
    if (!box) {
        box = new TAboutBox(parent);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            box->move(screen->availableGeometry().center() - box->rect().center());
    }
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}
