#pragma once
// Completes the pairs being formed for one meter with pairs the meter holds:
// the formed pairs on the left, the meter's on the right; "<<" moves ticked
// pairs left, ">>" removes ticked pairs from the left, and the tool button
// writes the left list into the meter.
#include "calibration/CGiGeArray.h"

#include <QDialog>
#include <string>

class connection;
class QAction;
class QPushButton;
class QTreeWidget;

class TAddCurGiGePair : public QDialog {
    Q_OBJECT
public:
    explicit TAddCurGiGePair(QWidget* parent = nullptr);

    // The one dialog of the run.
    static TAddCurGiGePair* Instance(QWidget* parent = nullptr);

    // Reads the meter's pairs and shows the dialog modally; 0 without showing it
    // when the meter holds no pairs or cannot be read.
    int Execute(connection& conn, const CGiGeArray& table);
    // Execute without the modal part: true when the dialog would be shown.
    bool Prepare(connection& conn, const CGiGeArray& table);

    const CGiGeArray& Formed() const { return m_GiGeArray; }

    QAction* SaveGiGeToDevice;
    QTreeWidget* ListView1;   // the pairs being formed
    QTreeWidget* ListView2;   // the pairs in the meter
    QPushButton* BitBtn1;     // ">>"
    QPushButton* BtnAddTo;    // "<<"
    // Where the meter's pairs are kept before the write.
    std::string m_sBackupDir;

public slots:
    void BtnAddToClick();
    void BitBtn1Click();
    void SaveGiGeToDeviceClick();

private:
    static void FillList(QTreeWidget* list, CGiGeArray& table);

    connection* m_pConnection = nullptr;
    CGiGeArray m_GiGeArray;
};
