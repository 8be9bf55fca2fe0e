// The calibration editor window: real mouse and key events on its chart, grid
// and edits; the pairs of a simulated meter read, edited and written back.
#include "ui/editor/GiGeChartView.h"
#include "ui/editor/TGIGEScaleForm.h"

#include "calibration/CGiGeArray.h"
#include "calibration/ConnectionUse.h"
#include "common/DecimalSeparator.h"
#include "support/RecordingOperator.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "sim/Rig.h"
#include "support/SimRig.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGraphicsTextItem>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>
#include <QtTest>

#include <memory>

namespace {
constexpr uint32_t kMeter = 22000011;

// One flow meter with five pairs behind the simulator on loopback.
struct SimulatedMeter {
    SimulatedMeter()
    {
        SimMeterConfig c;
        c.number = kMeter;
        c.type = "FJ  ";
        c.pairs = {{0, 0}, {1, 1.02f}, {2, 2.01f}, {4, 3.98f}, {8, 8.05f}};
        rig.AddMeter(c);
        CConnectionUse use(&conn);
        result = GetDeviceInfo(&conn, kMeter, info);
    }
    SimRig sim;
    CRig& rig = sim.Rig();
    connection& conn = sim.Conn();
    VQ7_INFO info;
    unsigned result = 1;
};

QPoint ViewPos(CGiGeChartView* view, double x, double y) { return view->PositionOf(QPointF(x, y)).toPoint(); }
}

class TGIGEScaleFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        SetDecimalSeparator('.');
        m_op = std::make_unique<CRecordingOperator>();
        m_sim = std::make_unique<SimulatedMeter>();
        QCOMPARE(m_sim->result, 0u);
        QVERIFY(m_dir.isValid());
    }
    void init()
    {
        m_form = std::make_unique<TGIGEScaleForm>();
        m_form->Model().SetLogDir(m_dir.path().toStdString());
        m_op->Clear();
    }
    void cleanup() { m_form.reset(); }

    void readsTheMeterOnOpening()
    {
        OpenOnMeter();
        QCOMPARE(m_form->Model().m_GiGeArray.GetCount(), 5);
        QCOMPARE(m_form->StringGrid1()->model()->rowCount(), 5);
        QCOMPARE(m_form->Chart1()->chart()->series().size(), 1);
        QCOMPARE(static_cast<QLineSeries*>(m_form->Chart1()->chart()->series().front())->count(), 5);
        QVERIFY(m_form->windowTitle().endsWith(QString(" № %1: Масштабирование градуировочных пар").arg(kMeter)));
        QVERIFY(m_form->Action("LoadFromVQ")->isVisible());
        QVERIFY(m_form->Action("ToolButton2")->isVisible());
        QCOMPARE(m_form->Model().LineSeries1.size(), 4u);   // Ge 0 has no deviation
    }

    void ctrlClickAddsAPointOnTheCurve()
    {
        OpenOnMeter();
        CGiGeChartView* view = m_form->Chart1();
        // Midway along the line from (4, 3.98) to (8, 8.05).
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, ViewPos(view, 6, 6.015));
        CGiGeScaleModel& model = m_form->Model();
        QCOMPARE(model.m_GiGeArray.GetCount(), 6);
        float gi, ge;
        model.m_GiGeArray.GetPair(4, gi, ge);
        const double pixelGi = 8.0 * 1.1 / 500;   // one pixel of the Gi axis, roughly
        QVERIFY2(std::fabs(gi - 6) < 2 * pixelGi, qPrintable(QString::number(gi)));
        QVERIFY(std::fabs(ge - 6.015) < 0.1);
        QCOMPARE(QString::fromStdString(model.StringGrid1.Cell(0, 5)), QString("4"));
        QCOMPARE(m_form->StringGrid1()->model()->rowCount(), 6);

        // Off the curve nothing is added; Ctrl + right click on a point deletes it.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, ViewPos(view, 1, 7));
        QCOMPARE(model.m_GiGeArray.GetCount(), 6);
        QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::ControlModifier, ViewPos(view, 2, 2.01));
        QCOMPARE(model.m_GiGeArray.GetCount(), 5);
        QCOMPARE(model.Series1.Count(), 5);
        QVERIFY(m_op->Texts().empty());
    }

    void dragMovesGiAndKeepsGe()
    {
        OpenOnMeter();
        CGiGeChartView* view = m_form->Chart1();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, ViewPos(view, 2, 2.01));
        QCOMPARE(m_form->Model().DragIndex(), 2);
        QTest::mouseMove(view->viewport(), ViewPos(view, 3, 5));
        QTest::mouseMove(view->viewport(), ViewPos(view, 5, 1));   // past the neighbour at 4: stays
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, ViewPos(view, 5, 1));
        float gi, ge;
        m_form->Model().m_GiGeArray.GetPair(2, gi, ge);
        QVERIFY2(std::fabs(gi - 3) < 0.05, qPrintable(QString::number(gi)));
        QCOMPARE(ge, 2.01f);
        QCOMPARE(m_form->Model().DragIndex(), -1);
        // The end points do not move.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, ViewPos(view, 8, 8.05));
        QCOMPARE(m_form->Model().DragIndex(), -1);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, ViewPos(view, 8, 8.05));
    }

    void zoomNarrowsTheDeviationChartAndUndoRestoresIt()
    {
        OpenOnMeter();
        CGiGeChartView* view = m_form->Chart1();
        const double fullMin = m_form->Chart2AxisX()->min(), fullMax = m_form->Chart2AxisX()->max();
        // A rubber band over an empty part of the plot.
        const QPoint from = ViewPos(view, 0.5, 7.5), to = ViewPos(view, 3.5, 0.5);
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view->viewport(), (from + to) / 2);
        QTest::mouseMove(view->viewport(), to);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
        QVERIFY(!m_form->Chart2Automatic());
        QVERIFY(m_form->Chart1AxisX()->max() < fullMax - 1);
        QCOMPARE(m_form->Chart2AxisX()->min(), m_form->Chart1AxisX()->min());
        QCOMPARE(m_form->Chart2AxisX()->max(), m_form->Chart1AxisX()->max());

        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, ViewPos(view, 1, 1));
        QVERIFY(m_form->Chart2Automatic());
        QCOMPARE(m_form->Chart2AxisX()->min(), fullMin);
        QCOMPARE(m_form->Chart2AxisX()->max(), fullMax);
        QCOMPARE(m_form->Model().m_GiGeArray.GetCount(), 5);
    }

    void hoverShowsThePointsValues()
    {
        OpenOnMeter();
        CGiGeChartView* view = m_form->Chart1();
        QTest::mouseMove(view->viewport(), ViewPos(view, 4, 3.98));
        QCOMPARE(view->LastHoverText(), QString("Gi = 4\nGe = 3.98\nОткл. = -1.131 %"));
    }

    void editedTableComesBackAfterTheModalWindow()
    {
        CGiGeArray table;
        table.AddPair(1, 1);
        table.AddPair(2, 2);
        table.AddPair(3, 3);
        VQ7_INFO info;
        info.m_sModel = "ФЖ-7";
        bool edited = false;
        QTimer::singleShot(0, this, [&] {
            QTableView* grid = m_form->StringGrid1();
            QVERIFY(!m_form->Action("SaveToVQ")->isVisible());
            const QModelIndex cell = grid->model()->index(1, 2);
            QVERIFY(grid->model()->flags(cell) & Qt::ItemIsEditable);
            QVERIFY(!(grid->model()->flags(grid->model()->index(1, 1)) & Qt::ItemIsEditable));
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            auto* editor = grid->viewport()->findChild<QLineEdit*>();
            QVERIFY(editor);
            editor->selectAll();
            QTest::keyClicks(editor, "2.5");
            QTest::keyClick(editor, Qt::Key_Return);
            // The delegate commits on the next turn of the event loop.
            QTRY_COMPARE(grid->model()->data(cell).toString(), QString("2.5"));
            // Adding is refused in this mode.
            CGiGeChartView* view = m_form->Chart1();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, ViewPos(view, 1.75, 1.5));   // on the line
            edited = true;
            m_form->close();
        });
        m_form->ShowForTable(table, 7, &info);
        QVERIFY(edited);
        CGiGeArray back;
        m_form->GetGiGeArray(back);
        QCOMPARE(back.GetCount(), 3);
        float gi, ge;
        back.GetPair(1, gi, ge);
        QCOMPARE(gi, 2.5f);
        QCOMPARE(ge, 2.0f);
        QCOMPARE(m_op->Texts(), std::vector<std::string>{"Запрещено добавлять градуировочные точки!"});
        QCOMPARE(m_form->windowTitle(), QString("ФЖ-7 № 7: Масштабирование градуировочных пар"));
    }

    void editChecksAndScaling()
    {
        OpenOnMeter();
        QLineEdit* ku = m_form->LabeledEdit_Ku();
        QLineEdit* zero = m_form->LabeledEdit_Zero();
        ku->setText("1.5");
        ku->clear();
        QCOMPARE(ku->text(), QString("0.01"));
        ku->selectAll();
        QTest::keyClicks(ku, "3");
        QCOMPARE(ku->text(), QString("2"));
        zero->clear();
        QTest::keyClicks(zero, "-");
        QCOMPARE(zero->text(), QString("-"));
        QTest::keyClicks(zero, "0.5");
        QCOMPARE(zero->text(), QString("-0.001"));
        zero->clear();
        QTest::mouseClick(m_form->BitBtn_Calc(), Qt::LeftButton);
        float gi, ge;
        m_form->Model().m_GiGeArray.GetPair(4, gi, ge);
        QCOMPARE(gi, 16.0f);
        QCOMPARE(static_cast<QLineSeries*>(m_form->Chart1()->chart()->series().front())->at(4).x(), 16.0);
    }

    void writesTheEditedPairsIntoTheMeter()
    {
        CVirtualMeter& meter = *m_sim->rig.Meter(kMeter);
        const auto original = meter.Pairs();
        // The zero point moved off Gi 0 keeps Ge 0: no meter takes such a pair.
        OpenOnMeter();
        m_form->Model().BitBtn_CalcClick("1", "0.001");
        m_form->SyncFromModel();
        m_op->Clear();
        m_form->Action("SaveToVQ")->trigger();
        QCOMPARE(m_op->Texts().size(), size_t(1));
        QVERIFY(m_op->Texts()[0].find("пара 1 (Gi 1.000000e-03, Ge 0.000000e+00): Ge равен 0") != std::string::npos);
        QCOMPARE(meter.Pairs().size(), original.size());
        QCOMPARE(meter.Pairs()[4].gi, 8.0f);

        meter.SetPairs({original.begin() + 1, original.end()});
        OpenOnMeter();
        m_form->Model().BitBtn_CalcClick("1", "0.001");
        m_form->SyncFromModel();
        m_form->Action("SaveToVQ")->trigger();
        const auto pairs = meter.Pairs();
        QCOMPARE(pairs.size(), size_t(4));
        QCOMPARE(pairs[3].gi, 8.001f);
        QCOMPARE(pairs[3].ge, 8.05f);
        // Read back into a fresh opening.
        OpenOnMeter();
        float gi, ge;
        m_form->Model().m_GiGeArray.GetPair(0, gi, ge);
        QCOMPARE(gi, 1.001f);
        meter.SetPairs(original);
    }

    void chartPictureForTheProtocol()
    {
        OpenOnMeter();
        m_form->SetToleranceBand(1.0);
        const QString path = m_dir.filePath("chart.png");
        QVERIFY(m_form->SaveChartImage(path));
        QImage image(path);
        QVERIFY(image.width() >= 516 && image.height() >= 455);
        // Optional full-window picture for a person to look at.
        const QString grab = qEnvironmentVariable("VQ7_EDITOR_GRAB");
        if (!grab.isEmpty()) {
            QTest::mouseMove(m_form->Chart1()->viewport(), ViewPos(m_form->Chart1(), 4, 3.98));
            QVERIFY(m_form->grab().save(grab));
        }
    }

    // The system menu and its close box only; the size of the form at least.
    void frameButtonsAndSize()
    {
        const Qt::WindowFlags flags = m_form->windowFlags();
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        for (Qt::WindowType button : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                      Qt::WindowContextHelpButtonHint})
            QVERIFY(!(flags & button));
        QVERIFY(m_form->width() >= TGIGEScaleForm::kClientWidth && m_form->height() >= TGIGEScaleForm::kClientHeight);
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    }

    // Every axis label of both charts is whole at the default size.
    void axisLabelsAreWhole()
    {
        OpenOnMeter();
        QCoreApplication::processEvents();
        for (QChartView* view : {static_cast<QChartView*>(m_form->Chart1()), m_form->Chart2()}) {
            int labels = 0;
            for (QGraphicsItem* item : view->scene()->items()) {
                auto* text = dynamic_cast<QGraphicsTextItem*>(item);
                if (!text || !text->isVisible())
                    continue;
                ++labels;
                QVERIFY2(!text->toPlainText().contains(QChar(0x2026)) && !text->toPlainText().contains(QStringLiteral("...")),
                         qPrintable(view->objectName() + QStringLiteral(": ") + text->toPlainText()));
            }
            QVERIFY2(labels >= 6, qPrintable(view->objectName()));
        }
    }

    // Once moved, the window opens where it was left, also in the next run.
    void keepsItsPlace()
    {
        const std::string ini = m_dir.filePath("config.ini").toStdString();
        QFile::remove(QString::fromStdString(ini));
        const QPoint place(37, 41);
        {
            QWidget main;
            main.setGeometry(300, 300, 800, 600);
            TGIGEScaleForm form(&main);
            form.SetPlacementFile(ini);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QVERIFY(form.pos() != place);   // centred on the main window the first time
            form.move(place);
            form.hide();
            form.move(500, 500);
            form.show();
            QCOMPARE(form.pos(), QPoint(500, 500));   // this run: where Qt left it
            form.move(place);
            form.hide();
        }
        QWidget main;
        main.setGeometry(300, 300, 800, 600);
        TGIGEScaleForm form(&main);
        form.SetPlacementFile(ini);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.pos(), place);
    }

private:
    void OpenOnMeter()
    {
        m_form->OpenForMeter(&m_sim->conn, kMeter, &m_sim->info);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CRecordingOperator> m_op;
    std::unique_ptr<SimulatedMeter> m_sim;
    std::unique_ptr<TGIGEScaleForm> m_form;
};

QTEST_MAIN(TGIGEScaleFormTest)
#include "TGIGEScaleFormTest.moc"
