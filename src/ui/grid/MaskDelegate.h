#pragma once
// Cell editor of the set points table: the edit mask of the cell (digits only,
// at most as many as the mask has places) and the edit tracking calls: the
// start text when editing begins, every changed text as it is typed.
#include <QStyledItemDelegate>
#include <functional>
#include <string>

class CMaskDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using MaskOf = std::function<std::string(int col, int gridRow)>;
    using EditStarted = std::function<void(int col, int gridRow)>;

    CMaskDelegate(MaskOf maskOf, EditStarted started, QObject* parent = nullptr);

    // Places of a mask such as "999990;0" (0: no mask).
    static int MaskPlaces(const std::string& mask);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;

private:
    MaskOf m_maskOf;
    EditStarted m_started;
};
