// The Verify report window over a session whose device holds other knob
// data in presets 6 and 10 and did not answer for preset 8: its rows, sorting
// by a header click, its size on the screen, and its two buttons.

#include "main_test_support.h"
#include "ui/verify_report_form.h"

#include <QHeaderView>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>

using namespace kestrow;

class VerifyReportTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    test::FakePorts* m_ports = nullptr;
    std::unique_ptr<EditorSession> m_session;
    PresetSet m_before {};
    std::unique_ptr<TVerifyReportForm> m_form;

    QString cellText(int row, int column) const
    {
        return m_form->table()->model()->index(row, column).data().toString();
    }

private slots:
    void init()
    {
        auto ports = std::make_unique<test::FakePorts>();
        m_ports = ports.get();
        m_session = std::make_unique<EditorSession>(
            test::pathsIn(m_dir.path()), std::move(ports), nullptr, "no driver");
        QVERIFY(m_session->selectOutputByName("Test Out A"));
        m_session->chooseInputEntry(0);
        m_before = m_session->bank().presets;
        // The device answers with its data (taken in), then ours go back as they were.
        PresetSet device = m_before;
        device[5].eventType.fill(2);
        device[9].channel.fill(0);
        for (int p : { 5, 9 })
            m_ports->reply(presetDataFrame(device[static_cast<std::size_t>(p)], p).bytes());
        for (int p : { 5, 9 })
            QVERIFY(m_session->takeTheirPreset(m_before, p));
        SyncReport report;
        report.job = SyncJob::verify;
        report.differing = { comparePresets(m_before[5], device[5], 5),
            comparePresets(m_before[9], device[9], 9) };
        report.noReply = { 7 };
        m_form = std::make_unique<TVerifyReportForm>(*m_session, report);
        m_form->show();
    }

    void cleanup()
    {
        m_form.reset();
        m_session.reset();
    }

    void rowsSortByTheClickedColumnAndTheWindowFitsTheScreen()
    {
        QCOMPARE(m_form->table()->model()->rowCount(), 33);
        QCOMPARE(cellText(0, 0), QStringLiteral("6"));
        QCOMPARE(cellText(16, 0), QStringLiteral("8"));
        QCOMPARE(cellText(16, 4), QStringLiteral("no reply"));
        QHeaderView* header = m_form->table()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(1) + 4, header->height() / 2));
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE((QStringList { cellText(0, 1), cellText(1, 1), cellText(2, 1), cellText(3, 1) }),
            (QStringList {
                QString(), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2") }));
        QCOMPARE(cellText(1, 0), QStringLiteral("6"));
        QCOMPARE(cellText(2, 0), QStringLiteral("10"));

        const QRect screen = m_form->screen()->availableGeometry();
        QVERIFY(m_form->frameGeometry().height() <= screen.height());
        QVERIFY(m_form->width() <= screen.width());
    }

    void takeFromDeviceTakesTheChosenPresetsOnly()
    {
        // A row of preset 10 chosen: only it is taken (as one step: the
        // session's test), and its rows leave.
        m_form->table()->selectRow(20);
        QCOMPARE(m_form->chosenPresets(), std::vector<int> { 9 });
        QTest::mouseClick(m_form->takeButton(), Qt::LeftButton);
        QCOMPARE(m_session->bank().presets[9].channel[0], 0);
        QCOMPARE(m_session->bank().presets[5], m_before[5]);
        QCOMPARE(m_form->table()->model()->rowCount(), 17);
        // Only the preset that did not answer is chosen: nothing to take.
        m_form->table()->selectRow(16);
        QVERIFY(!m_form->takeButton()->isEnabled());
    }

    void sendTheseSendsEveryListedPresetAndClosesTheReport()
    {
        QCOMPARE(m_form->chosenPresets(), (std::vector<int> { 5, 7, 9 }));
        QTest::mouseClick(m_form->sendButton(), Qt::LeftButton);
        QVERIFY(m_session->transferring());
        QCOMPARE(m_form->table()->model()->rowCount(), 0);
        QVERIFY(!m_form->isVisible());
    }
};

QTEST_MAIN(VerifyReportTest)
#include "verify_report_test.moc"
