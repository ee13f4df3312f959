#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "fake_usb_system.h"
#include "station_fixture.h"
#include "link/d2xx_library.h"
#include "link/tester_protocol.h"

class InterfaceLink : public StationTest {
protected:
    // Nothing reaches the driver once the window has released it: every
    // timer is stopped, the entry points are gone, and a tick that still
    // comes in (as one already due would) makes no call and shows nothing.
    void expectReleasedForGood() {
        for (TTimer* timer : {form->Timer1, form->Timer3, form->Timer5, form->Timer6})
            EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
        EXPECT_FALSE(form->DllLoaded);
        EXPECT_EQ(form->FT_Write, nullptr);
        EXPECT_EQ(form->FT_GetStatus, nullptr);
        const QStringList atClose = calls();
        const qsizetype messagesAtClose = messages.size();
        ASSERT_FALSE(atClose.isEmpty());
        EXPECT_EQ(atClose.last(), QStringLiteral("close -> 0"));
        QTest::qWait(120);
        form->Timer1Timer();
        form->Timer3Timer();
        EXPECT_EQ(calls().mid(atClose.size()).join('\n').toStdString(), "")
            << "driver calls after the release";
        EXPECT_EQ(messages.mid(messagesAtClose).join('\n').toStdString(), "")
            << "message boxes after the close";
    }
};

TEST_F(InterfaceLink, MissingLibraryIsReportedOnceAndStopsEveryTimer) {
    setD2xxLibraryFileName("libftd2xx-not-installed.so");
    start("");
    loadDriver();
    EXPECT_FALSE(form->DllLoaded);
    EXPECT_EQ(messages, QStringList{"INFO: Not find ftd2xx.dll"});
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_FALSE(form->Timer5->isActive());
    poll();
    EXPECT_FALSE(form->FTConnected);
    EXPECT_TRUE(calls().isEmpty()) << "no driver call without a driver";
}

TEST_F(InterfaceLink, LibraryWithoutTheDriverExportsCountsAsMissing) {
    setD2xxLibraryFileName("libm.so.6");
    start("");
    loadDriver();
    EXPECT_FALSE(form->DllLoaded);
    EXPECT_EQ(form->DllHandle, nullptr);
    EXPECT_EQ(form->FT_Write, nullptr);
    EXPECT_EQ(messages, QStringList{"INFO: Not find ftd2xx.dll"});
    poll();  // must not call through a null entry point
    EXPECT_FALSE(form->FTConnected);
}

TEST_F(InterfaceLink, PollingBeforeTheLibraryLoadsMakesNoDriverCall) {
    start("");
    form->FTConnected = true;
    QSignalSpy ticks(form->Timer3, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(1000));
    EXPECT_FALSE(form->FTConnected);
    EXPECT_FALSE(form->DllLoaded);
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(InterfaceLink, LoadingTheLibraryStartsPollingOnce) {
    start("");
    form->Timer3->setEnabled(false);
    loadDriver();
    EXPECT_TRUE(form->DllLoaded);
    EXPECT_NE(form->FT_ClrRts, nullptr);
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_FALSE(form->Timer5->isActive());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(InterfaceLink, WithoutAnInterfacePollingGoesOnSilently) {
    for (const char* scenario : {"interface absent", "interface busy", "fail list always"}) {
        SCOPED_TRACE(scenario);
        start(scenario);
        loadDriver();
        for (int i = 0; i < 5; ++i) poll();
        EXPECT_FALSE(form->FTConnected);
        EXPECT_TRUE(form->Timer3->isActive());
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_EQ(form->NR->text(), QStringLiteral("--"));
        EXPECT_EQ(countCalls(QStringLiteral("write")), 0);
        EXPECT_EQ(countCalls(QStringLiteral("close")), 0) << "no handle was ever opened";
    }
}

// The station's first interface, as the fake trees show it.
static FakeUsbSystem::Device stationInterface(const char* driver, unsigned mode = 0666) {
    const UsbId id = interfaceUsbIds().first();
    FakeUsbSystem::Device device;
    device.vendor = QStringLiteral("%1").arg(id.vendor, 4, 16, QChar('0'));
    device.product = QStringLiteral("%1").arg(id.product, 4, 16, QChar('0'));
    device.driver = QString::fromLatin1(driver);
    device.mode = mode;
    return device;
}

// The window says nothing, as before; standard error tells why, once for
// each new reason.
TEST_F(InterfaceLink, InterfaceThatDoesNotOpenIsExplainedOnceOnStandardError) {
    FakeUsbSystem serialDriver, otherProgram, none;
    serialDriver.add(stationInterface("ftdi_sio"));
    otherProgram.add(stationInterface("usbfs"));
    start("interface absent");
    form->usbTrees = serialDriver.trees();
    loadDriver();
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) poll();
    form->usbTrees = otherProgram.trees();
    poll();
    poll();
    form->usbTrees = none.trees();
    poll();
    form->usbTrees = serialDriver.trees();
    poll();
    const QStringList said =
        QString::fromStdString(testing::internal::GetCapturedStderr()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(said.size(), 3) << said.join('\n').toStdString();
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("quorvan: the interface "))) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(QStringLiteral("kernel's serial driver ftdi_sio")));
    EXPECT_TRUE(said[1].contains(QStringLiteral("in use by another program")));
    EXPECT_EQ(said[2], said[0]);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(form->Timer3->isActive());
}

// After an error reset the station's own handle keeps the interface from
// opening once; that is no trouble to tell of.
TEST_F(InterfaceLink, OwnHandleHeldAfterAnErrorIsNotExplained) {
    FakeUsbSystem otherProgram;
    otherProgram.add(stationInterface("usbfs"));
    start("");
    form->usbTrees = otherProgram.trees();
    identify();
    form->ErrorFT();
    testing::internal::CaptureStderr();
    poll();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(countCalls(QStringLiteral("close")), 1);
}

TEST_F(InterfaceLink, MissingLibraryIsToldWithTheSystemsReasonOnStandardError) {
    setD2xxLibraryFileName("libftd2xx-not-installed.so");
    start("");
    testing::internal::CaptureStderr();
    loadDriver();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quorvan: libftd2xx-not-installed.so: cannot open shared object file: No such file "
              "or directory\n");
    setD2xxLibraryFileName("libm.so.6");
    testing::internal::CaptureStderr();
    form->Timer5Timer();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "quorvan: libm.so.6: not a D2XX driver library (an FT_ function is missing)\n");
}

TEST_F(InterfaceLink, FailedTimeoutSettingClosesTheInterfaceAndPollsOn) {
    start("fail timeouts at 1");
    loadDriver();
    poll();
    EXPECT_FALSE(form->FTConnected);
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_EQ(countCalls(QStringLiteral("close")), 1);
    poll();
    EXPECT_TRUE(form->FTConnected);
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(form->TYPE->text(), QStringLiteral("Station Tester S3"));
}

TEST_F(InterfaceLink, ErrorResetBlanksTheFieldsAndResumesPolling) {
    start("");
    identify();
    form->Label19->setCaption(QStringLiteral("123"));
    form->Label32->setCaption(QStringLiteral("03/23"));
    form->Label1->setCaption(QStringLiteral("4.0"));
    form->ErrorFT();
    EXPECT_EQ(messages.last(), QStringLiteral("INFO: Interface not connected !"));
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->Label19->text(), QStringLiteral("---"));
    EXPECT_EQ(form->Label32->text(), QStringLiteral("03/23")) << "the date is not blanked";
    EXPECT_EQ(form->Label1->text(), QStringLiteral("4.0")) << "nor the L-state currents";
    EXPECT_EQ(form->NR->text(), QStringLiteral("T00451J023"));
    EXPECT_TRUE(form->Button1->isEnabled());
}

TEST_F(InterfaceLink, AfterAnErrorTheFirstPollClosesAndTheSecondReopens) {
    start("");
    identify();
    form->ErrorFT();
    clearTranscript();
    poll();
    EXPECT_FALSE(form->FTConnected);
    EXPECT_EQ(calls().filter(QStringLiteral("open")).size(), 1);
    EXPECT_EQ(countCalls(QStringLiteral("close")), 1);
    EXPECT_TRUE(writes().isEmpty());
    poll();
    EXPECT_TRUE(form->FTConnected);
    EXPECT_FALSE(form->Timer3->isActive());
    EXPECT_EQ(writes().mid(0, 2), (QStringList{"02", "0B"})) << "identification runs anew";
}

TEST_F(InterfaceLink, ReplyThatNeverComesEndsTheWaitAfter300001StatusCalls) {
    // Status calls that cost 3 us each outlast the wait's minimum time, so
    // the count alone ends the wait.
    start("status-cost 3 busy");
    identify();
    clearTranscript();
    form->TxBuf[0] = 0x7E;  // a byte the tester does not answer
    form->FT_Write(form->FTHandle, form->TxBuf.data(), 1, &form->BytesWritten);
    EXPECT_FALSE(form->WaitFT(1));
    EXPECT_TRUE(messages.isEmpty()) << "a time-out is silent";
    form->close();  // ends the run of status calls in the transcript
    const QStringList status = calls().filter(QStringLiteral("status"));
    ASSERT_EQ(status.size(), 2) << status.join('\n').toStdString();
    EXPECT_TRUE(status[1].startsWith(QStringLiteral("status +300000 ")));
}

TEST_F(InterfaceLink, FreeStatusCallsStillWaitTheMinimumTime) {
    start("");  // status calls cost nothing
    identify();
    clearTranscript();
    form->TxBuf[0] = 0x7E;
    form->FT_Write(form->FTHandle, form->TxBuf.data(), 1, &form->BytesWritten);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(form->WaitFT(1));
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_TRUE(messages.isEmpty());
    form->close();
    const QStringList status = calls().filter(QStringLiteral("status"));
    ASSERT_EQ(status.size(), 2);
    EXPECT_GE(status[1].section(' ', 1, 1).mid(1).toLongLong(), 300000) << "the count is kept too";
}

TEST_F(InterfaceLink, LateReplyWithFreeStatusCallsIsTakenAsSoonAsItComes) {
    for (int lateMs : {30, 200}) {
        SCOPED_TRACE(lateMs);
        start("sensor-number \"2310457\" 00*3\nlate sensor-number " + std::to_string(lateMs));
        identify();
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(form->OdczytFT(tester::kSensorNumber.code, tester::kSensorNumber.replyLength),
                  QByteArray("2310457\0\0\0", 10));
        // 50 ms pause, the lateness, the 10 ms final read: far below a wait that runs out.
        EXPECT_GE(clock.elapsed(), 50 + lateMs);
        EXPECT_LT(clock.elapsed(), 50 + 500);
    }
}

TEST_F(InterfaceLink, LongReplyIsReadWholeUpTo256Bytes) {
    start("reply sensor-number \"1234567890ABCDEF\"\n"
          "reply pairing 41*300");
    identify();
    EXPECT_EQ(form->OdczytFT(0x36, 10), QByteArray("1234567890ABCDEF"));
    EXPECT_EQ(form->RxQueue, 16u);
    const QByteArray pairing = form->OdczytFT(0x37, 12);
    EXPECT_EQ(pairing.size(), 256) << "no more than the receive buffer holds";
}

TEST_F(InterfaceLink, ClosingTheWindowReleasesTheLink) {
    start("");
    identify();
    clearTranscript();
    form->close();
    EXPECT_EQ(calls(), QStringList{"close -> 0"});
    EXPECT_FALSE(form->DllLoaded);
    form.reset();
    EXPECT_EQ(calls().size(), 1) << "the destructor does not release twice";
}

TEST_F(InterfaceLink, ClosingBeforeTheLibraryLoadedMakesNoDriverCall) {
    start("");
    form->close();
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(InterfaceLink, ClosingBeforeAnyStepOfAReadEndsTheExchanges) {
    for (std::uint32_t step = 0; step <= 16; ++step) {
        SCOPED_TRACE(step);
        start(logOf(300, "5.0"));
        identify();
        form->Button1Click();
        while (form->ReadStep < step) form->Timer1Timer();
        ASSERT_TRUE(form->Timer1->isActive());
        form->close();
        EXPECT_TRUE(messages.isEmpty());
        expectReleasedForGood();
    }
}

TEST_F(InterfaceLink, ClosingWhileTheTimerDrivesAReadEndsTheExchanges) {
    for (int afterMs : {100, 250, 400}) {
        SCOPED_TRACE(afterMs);
        start(logOf(300, "5.0"));
        identify();
        form->show();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QTest::qWait(afterMs);
        ASSERT_TRUE(form->Timer1->isActive()) << "the read still runs";
        form->close();
        EXPECT_TRUE(messages.isEmpty());
        expectReleasedForGood();
    }
}

TEST_F(InterfaceLink, ClosingWhileTheErrorBoxIsOpenEndsTheExchanges) {
    start("cable-pulled after 5\n" + logOf(300, "5.0"));
    identify();
    form->show();
    // The box runs its own event loop: polling finds the tester again
    // while it is open, then the operator closes the window.
    setMessageBoxHandler([this](const QString& text, const QString& caption) {
        messages << caption + ": " + text;
        QTest::qWait(400);
        form->close();
        QTest::qWait(120);
    });
    form->Button1Click();
    for (int tick = 0; form->Timer1->isActive() && tick < 40; ++tick) form->Timer1Timer();
    EXPECT_EQ(messages, QStringList{"INFO: Interface not connected !"});
    EXPECT_GE(countCalls(QStringLiteral("open")), 2) << "polling ran inside the box";
    expectReleasedForGood();
}
