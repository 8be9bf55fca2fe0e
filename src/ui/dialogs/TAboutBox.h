#pragma once
// The About box: picture, name, version of the program file, maker, purpose; not modal.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // programPath: the file whose version is shown (the running program when empty).
    explicit TAboutBox(QWidget* parent = nullptr, const std::string& programPath = std::string());

    // Shows the one About box of the run, not modally, and brings it to the front.
    static TAboutBox* ShowAbout(QWidget* parent = nullptr);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Copyright;
    QLabel* Comments;
    QPushButton* OKButton;
};
