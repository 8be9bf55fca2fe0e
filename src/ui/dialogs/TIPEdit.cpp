#include "ui/dialogs/TIPEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

TIPEdit::TIPEdit(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(0);
    const QRegularExpression octet("^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?$");
    for (size_t i = 0; i < m_fields.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("IPField%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QRegularExpressionValidator(octet, field));
        field->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 4);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && i + 1 < m_fields.size())
                Focus(static_cast<int>(i) + 1, true);
        });
        m_fields[i] = field;
        layout->addWidget(field);
        if (i + 1 < m_fields.size())
            layout->addWidget(new QLabel(QStringLiteral("."), this));
    }
    setFocusProxy(m_fields[0]);
    SetIP("0.0.0.0");
}

std::string TIPEdit::GetIP() const
{
    uint32_t address = 0;
    for (QLineEdit* field : m_fields)
        address = (address << 8) | (field->text().toUInt() & 0xFF);
    return IPToString(address);
}

void TIPEdit::SetIP(const std::string& text)
{
    const uint32_t address = StringToIP(text);
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
}

bool TIPEdit::GetIsEmpty() const
{
    for (QLineEdit* field : m_fields)
        if (!field->text().isEmpty())
            return false;
    return true;
}

void TIPEdit::Clear()
{
    for (QLineEdit* field : m_fields)
        field->clear();
}

std::string TIPEdit::IPToString(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

uint32_t TIPEdit::StringToIP(const std::string& text)
{
    uint32_t address = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        size_t digits = 0;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return 0xFFFFFFFFu;
        address = (address << 8) | value;
        if (part < 3) {
            if (at >= text.size() || text[at] != '.')
                return 0xFFFFFFFFu;
            ++at;
        }
    }
    return at == text.size() ? address : 0xFFFFFFFFu;
}

int TIPEdit::IndexOf(QObject* field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i] == field)
            return static_cast<int>(i);
    return -1;
}

void TIPEdit::Focus(int index, bool atStart)
{
    QLineEdit* field = m_fields[static_cast<size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    if (atStart)
        field->selectAll();
    else
        field->setCursorPosition(static_cast<int>(field->text().size()));
}

bool TIPEdit::eventFilter(QObject* watched, QEvent* event)
{
    const int i = IndexOf(watched);
    if (i < 0 || event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = m_fields[static_cast<size_t>(i)];
    const int cursor = field->cursorPosition();
    const bool atEnd = cursor == field->text().size() && !field->hasSelectedText();
    const bool atStart = cursor == 0 && !field->hasSelectedText();
    switch (key->key()) {
    case Qt::Key_Right:
        if (atEnd && i < 3) {
            Focus(i + 1, false);
            m_fields[static_cast<size_t>(i + 1)]->setCursorPosition(0);
            return true;
        }
        break;
    case Qt::Key_Left:
        if (atStart && i > 0) {
            Focus(i - 1, false);
            return true;
        }
        break;
    case Qt::Key_Period:
        if (i < 3 && !field->text().isEmpty()) {
            Focus(i + 1, true);
        }
        return true;   // the point is never typed into a field
    case Qt::Key_Backspace:
        if (atStart && i > 0) {
            Focus(i - 1, false);
            return true;
        }
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}
