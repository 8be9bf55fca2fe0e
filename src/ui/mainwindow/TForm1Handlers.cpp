// Handlers of the main window: one call into the workstation, then syncFromState().
#include "ui/platform/BusTask.h"
#include "ui/grid/GridView.h"
#include "ui/mainwindow/TForm1.h"
#include "common/CommonUtils.h"
#include "ui/platform/Help.h"
#include "report/ResultsCsv.h"
#include "ui/mainwindow/ProtocolReportUi.h"
#include "ui/dialogs/TAboutBox.h"
#include "ui/dialogs/TAddCurGiGePair.h"
#include "ui/dialogs/TBusMonitor.h"
#include "ui/editor/TGIGEScaleForm.h"
#include "ui/dialogs/TSetPortDlg.h"
#include "ui/profiles/TProfileForm.h"
#include "common/AppPaths.h"
#include "calibration/CGiGeArray.h"
#include "measurement/CSystem.h"
#include "workstation/PairForming.h"
#include "workstation/PairsWriteBack.h"
#include "workstation/AsFoundJudgement.h"
#include "workstation/Workstation.h"
#include "results/ResultStore.h"
#include "results/ResultsRecorder.h"
#include "common/OperatorInterface.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

void TForm1::PageControl1Change(int page)
{
    Ws->State.SelectPage(page);   // refused while the tabs are locked; the sync puts the tab back
    syncFromState();
}

void TForm1::StringGrid1Exit()
{
    Ws->MeterList.StringGrid1Exit();
    syncFromState();
}

void TForm1::ButtonUpdateInfoClick()
{
    StringGrid1->EndEditing();
    RunOnBus([this] { return Ws->MeterList.ButtonUpdateInfoClick(); });
    syncFromState();
}

void TForm1::ButtonStartPauseClick()
{
    if (!AskOperatorOnce())
        return;
    RunOnBus([this] { return Ws->Series.ButtonStartPauseClick(), 0; });
    syncFromState();
}

void TForm1::ButtonStopClick()
{
    if (!ConfirmSeriesEnd(Ws->Series.Reported, Ws->Results.SeriesStored()))
        return;   // "no": the rows and the series stay as they were
    RunOnBus([this] { return Ws->Series.ButtonStopClick(), 0; });
    syncFromState();
}

void TForm1::SortGiGeButtonClick()
{
    Ws->ResultTables.SortGiGeButtonClick();
    syncFromState();
}

void TForm1::InvertGiGeButtonClick()
{
    Ws->ResultTables.InvertGiGeButtonClick();
    syncFromState();
}

void TForm1::N4Click()
{
    Ws->ResultTables.N4Click();
    syncFromState();
}

void TForm1::Timer1Timer()
{
    // Not again while a tick, a bus operation or a modal dialog of the core is under way.
    if (m_bInTimer || BusTasks->Busy() || QApplication::activeModalWidget())
        return;
    m_bInTimer = true;
    Ws->Series.Timer1Timer();
    const auto pictures = Ws->Series.DrawMeterStatus();
    for (size_t s = 0; s < m_meterPictures.size(); ++s)
        m_meterPictures[s] = static_cast<int>(pictures[s]);
    m_bInTimer = false;
    RefreshStoreStatus();
    syncFromState();
}

void TForm1::CreateGiGeClick()
{
    Ws->Pairs.CreateGiGeClick();
    syncFromState();
}

void TForm1::SaveGiGeToFileClick()
{
    Ws->Pairs.SaveGiGeToFileClick();
    syncFromState();
}

void TForm1::SaveGiGeToDeviceClick()
{
    RunOnBus([this] { return Ws->Pairs.SaveGiGeToDeviceClick(); });
    syncFromState();
}

void TForm1::PopupMenuRestoreGiGeClick()
{
    RunOnBus([this] { return Ws->Pairs.PopupMenuRestoreGiGeClick(); });
    syncFromState();
}

void TForm1::PopupMenu3RestoreGiGeClick()
{
    RunOnBus([this] { return Ws->MeterList.PopupMenu3RestoreGiGeClick(); });
    syncFromState();
}

void TForm1::CancelClick()
{
    BusTasks->Cancel();
    UpdateProgressPanel();
}

void TForm1::ToleranceChanged(double tolerance)
{
    m_dTolerance = tolerance;
    LoadJudgement();
    syncFromState();
    StringGrid3->viewport()->update();
}

// The other windows, each behind its own slot.

void TForm1::PopupMenuAppendCurGiGeClick()
{
    const int slot = Ws->Pairs.PopupSlot();
    if (slot < 0)
        return;
    TAddCurGiGePair dialog(this);
    dialog.m_sBackupDir = Ws->Folders.BackupDir();
    dialog.Execute(MeterConnection, *Ws->Pairs.SlotPairs(slot));
    syncFromState();
}

void TForm1::PopupMenu3ProfileClick()
{
    // The number typed in the row, applied to the rig or not yet.
    const int row = Ws->Tables.StringGrid1.Row();
    if (const uint32_t number = row > 0 ? Ws->Tables.MeterNumberOfRow(row) : 0)
        EditProfile(std::to_string(number));
}

void TForm1::DefaultProfileButtonClick() { EditProfile(kDefaultProfileSection); }

void TForm1::EditProfile(const std::string& section)
{
    TProfileForm dialog(ProfilesPath(), section, m_dTolerance, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    LoadJudgement();
    syncFromState();
}

void TForm1::WordReportButtonClick() { MakeReport(REPORT_DOCX); }

void TForm1::MakeReport(unsigned formats)
{
    CReportRequest request;
    request.formats = formats;
    request.baseDir = Ws->Folders.BaseDir();
    request.templatePath = ShareDir() + "/Matrix/шаблон.docx";
    request.tolerance = m_dTolerance;
    const std::vector<MeterJudgement> judged = Ws->JudgeVerification();
    const CsvJudgement judgement{judged, Ws->Reference};
    request.judged = &judgement;
    // The series on the tab as the store keeps it: its as found, when linked, beside it.
    AsFoundJudgement found;
    if (Ws->State.ActivePage == PAGE_VERIFICATION && Results && Results->SeriesStored()) {
        try {
            CResultStore store(Results->Location());
            if (JudgeAsFound(store, Results->StoredSeriesId(), Ws->Profiles, Ws->Reference, found))
                request.asFound = &found;
        } catch (const EStoreError& e) {
            Operator().MessageDialog(MsgIcon::Warning, std::string("Поверка до градуировки не прочитана: ") + e.what());
        }
    }
    const ReportMaker beside = [this](const std::function<void()>& make) {
        if (RunOnBus([&] { return make(), 0; }) < 0)
            make();   // a bus task already runs (the report from its own dialog): here
    };
    if (::WordReportButtonClick(Ws->Tables, Ws->State.ActivePage, request,
                                ReportOpener ? ReportOpener : ReportFileOpener(OpenWithDesktop), beside))
        Ws->Series.Reported.MarkReported(Ws->State.ActivePage);
}

void TForm1::ConnectionClick()
{
    // Kept in config.ini at once: the next activation reloads the settings from there.
    if (ShowPortSettings(MeterConnection, QCursor::pos(), nullptr, false, this) == QDialog::Accepted)
        MeterConnection.SaveSettings(ConfigPath);
}

void TForm1::BusMonitorClick()
{
    TBusMonitor::Show(MeterConnection, this);
}

void TForm1::N5Click()
{
    OpenHelp();
}

void TForm1::N6Click()
{
    TAboutBox::ShowAbout(this);
}
void TForm1::PopupMenuScaleGiGeClick()
{
    const int slot = Ws->Pairs.PopupSlot();
    if (!m_pScaleForm || slot < 0)
        return;
    const uint32_t number = System->GetMeterNumber(slot);
    const VQ7_INFO info = System->GetMeterInfo(slot);
    m_pScaleForm->SetToleranceBand(m_dTolerance);
    m_pScaleForm->Model().SetLogDir(Ws->Folders.LogDir());
    m_pScaleForm->Model().SetBackupDir(Ws->Folders.BackupDir());
    if (PairRowCount(Ws->Tables.StringGrid4) == 0) {
        m_pScaleForm->ShowForMeter(&MeterConnection, number, &info);
    } else {
        m_pScaleForm->ShowForTable(*Ws->Pairs.SlotPairs(slot), number, &info);
        CGiGeArray edited;
        m_pScaleForm->GetGiGeArray(edited);
        WriteEditedPairsBack(Ws->Tables.StringGrid4, slot, edited);
    }
    syncFromState();
}

void TForm1::PopupMenu3ScaleGiGeClick()
{
    const uint32_t number = Ws->MeterList.PopupMeterNumber();
    if (!m_pScaleForm || number == 0)
        return;
    const VQ7_INFO info = System->GetMeterInfo(System->FindSlot(number));
    m_pScaleForm->SetToleranceBand(m_dTolerance);
    m_pScaleForm->Model().SetLogDir(Ws->Folders.LogDir());
    m_pScaleForm->Model().SetBackupDir(Ws->Folders.BackupDir());
    m_pScaleForm->ShowForMeter(&MeterConnection, number, &info);
    syncFromState();
}

