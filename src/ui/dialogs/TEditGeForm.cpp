#include "ui/dialogs/TEditGeForm.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "ui/platform/FrameButtons.h"
#include "workstation/ReferenceFlow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The form's fonts are 16 and 14 px beside its 8 pt Tahoma: they scale with the dialog's font.
constexpr double kTextScale = 16.0 / (8.0 * 96 / 72);
constexpr double kButtonScale = 14.0 / (8.0 * 96 / 72);

QFont Scaled(const QFont& base, double scale)
{
    QFont font(base);
    font.setPointSizeF(base.pointSizeF() > 0 ? base.pointSizeF() * scale : 8.0 * scale);
    return font;
}

const char* const kDropQuestion = "Отбросить этот цикл? Строка в таблицу не добавится, серия продолжится.";
}

TEditGeForm::TEditGeForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("EditGeForm"));
    setWindowTitle(QStringLiteral("Ge"));
    setModal(true);

    m_label1 = new QLabel(QStringLiteral("Введите эталонное значение расхода (М3/ч):"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));

    m_labelSource = new QLabel(this);
    m_labelSource->setObjectName(QStringLiteral("LabelSource"));
    m_labelSource->setWordWrap(true);
    m_labelSource->hide();

    m_editGe = new QLineEdit(QStringLiteral("0"), this);
    m_editGe->setObjectName(QStringLiteral("EditGe"));
    m_editGe->installEventFilter(this);

    m_button1 = new QPushButton(QStringLiteral("Ок"), this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setAutoDefault(false);
    connect(m_button1, &QPushButton::clicked, this, &TEditGeForm::Button1Click);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);
    layout->addWidget(m_label1);
    layout->addWidget(m_labelSource);
    layout->addWidget(m_editGe);
    layout->addWidget(m_button1, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetNoConstraint);

    setFont(QFont(QStringLiteral("Tahoma"), 8));
    FitToFont();
}

void TEditGeForm::FitToFont()
{
    m_label1->setFont(Scaled(font(), kTextScale));
    m_labelSource->setFont(font());
    m_editGe->setFont(Scaled(font(), kTextScale));
    m_button1->setFont(Scaled(font(), kButtonScale));
    const QFontMetrics button(m_button1->font());
    m_button1->setMinimumSize(std::max(100, button.horizontalAdvance(m_button1->text()) + 24),
                              std::max(32, button.height() + 12));
    layout()->invalidate();
    layout()->activate();
    setFixedSize(layout()->sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));
}

void TEditGeForm::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitToFont();
}

std::optional<double> TEditGeForm::AskWith(double ge, const QString& source)
{
    m_labelSource->setText(QStringLiteral("Источник: ") + source);
    m_labelSource->show();
    m_editGe->setText(QString::fromStdString(FixDecimalSeparator(FormatC("%.6f", ge))));
    FitToFont();
    const std::optional<double> value = Ask();
    m_labelSource->hide();
    FitToFont();
    return value;
}

std::optional<double> TEditGeForm::Ask()
{
    m_bDropped = false;
    exec();
    if (m_bDropped)
        return std::nullopt;
    return GeValue;
}

bool TEditGeForm::EditGeExit()
{
    if (m_bInExit)
        return m_bValid;
    m_bInExit = true;
    m_bExited = true;
    m_bValid = false;
    const std::string text = m_editGe->text().trimmed().toStdString();
    std::string error;
    double value = 0;
    if (text.empty()) {
        error = InvalidReferenceFlowText(0);
    } else {
        try {
            value = StrToFloat(FixDecimalSeparator(text));
            if (!IsValidReferenceFlow(value))
                error = InvalidReferenceFlowText(value);
        } catch (const EConvertError& e) {
            error = e.what();
        }
    }
    if (error.empty()) {
        GeValue = value;
        m_bValid = true;
        m_editGe->setText(QString::fromStdString(FixDecimalSeparator(FormatC("%.3f", value))));
    } else {
        // The typed text stays for the operator to mend; nothing is recorded.
        Operator().MessageDialog(MsgIcon::Error, error);
        RefocusEdit();
    }
    m_bInExit = false;
    return m_bValid;
}

void TEditGeForm::RefocusEdit()
{
    if (!isVisible())
        return;
    m_editGe->setFocus(Qt::OtherFocusReason);
    m_editGe->selectAll();
}

void TEditGeForm::Confirm(bool fromEdit)
{
    // Enter on a refused text says again why; a click after the focus left the edit does not.
    const bool valid = m_bExited && (m_bValid || !fromEdit) ? m_bValid : EditGeExit();
    if (valid)
        accept();
    else
        RefocusEdit();
}

void TEditGeForm::Button1Click()
{
    // A click has taken the focus from the edit, which ran EditGeExit; a
    // button pressed from the keyboard has not.
    Confirm(false);
}

void TEditGeForm::EscapePressed()
{
    if (Operator().Confirm(kDropQuestion)) {
        m_bDropped = true;
        done(QDialog::Rejected);
        return;
    }
    RefocusEdit();
}

bool TEditGeForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editGe) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                Confirm(true);
                return true;
            }
            if (key == Qt::Key_Escape) {
                EscapePressed();
                return true;
            }
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

void TEditGeForm::keyPressEvent(QKeyEvent* event)
{
    // Escape with the focus on the button; QDialog would call reject().
    if (event->key() == Qt::Key_Escape) {
        EscapePressed();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TEditGeForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
}

void TEditGeForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SetFrameWithoutButtons(this);
    m_bExited = false;
    m_editGe->setFocus(Qt::OtherFocusReason);
    m_editGe->selectAll();
}
