#pragma once
// A dotted IPv4 address edit: four fields of 0..255; the arrow keys, a point and
// a full field move between them, backspace in an empty field goes back.
#include <QFrame>
#include <QString>
#include <array>
#include <cstdint>
#include <string>

class QLineEdit;

class TIPEdit : public QFrame {
    Q_OBJECT
public:
    explicit TIPEdit(QWidget* parent = nullptr);

    // Dotted text of the address; blank fields count as 0.
    std::string GetIP() const;
    // A text that is no address shows 255.255.255.255.
    void SetIP(const std::string& text);
    // All four fields blank.
    bool GetIsEmpty() const;
    void Clear();

    // Host-order address, a.b.c.d with a in the top byte.
    static std::string IPToString(uint32_t address);
    // Four decimal parts of 0..255 separated by points; anything else gives 0xFFFFFFFF.
    static uint32_t StringToIP(const std::string& text);

    QLineEdit* Field(int i) const { return m_fields[static_cast<size_t>(i)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int IndexOf(QObject* field) const;
    void Focus(int index, bool atStart);

    std::array<QLineEdit*, 4> m_fields{};
};
