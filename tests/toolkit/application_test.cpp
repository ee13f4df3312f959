#include <QMessageBox>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

#include "test_support.h"
#include "toolkit/application.h"
#include "toolkit/exception.h"
#include "toolkit/message_box.h"

namespace {

class ExceptionBox : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = setMessageBoxHandler([this](const QString& text, const QString&) { shown << text; });
    }
    void TearDown() override { setMessageBoxHandler(previous_); }
    QStringList shown;

private:
    MessageBoxHandler previous_;
};

}  // namespace

TEST_F(ExceptionBox, HandlerExceptionsAreShownAndTheLoopGoesOn) {
    QTimer timer;
    timer.setInterval(5);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, guarded([&] {
                         ++ticks;
                         if (ticks == 1) throw Exception(QStringLiteral("Canvas does not allow drawing"));
                         if (ticks == 2) throw std::runtime_error("not a toolkit error");
                     }));
    timer.start();
    QTest::qWait(100);
    EXPECT_GE(ticks, 3) << "the timer keeps running after both exceptions";
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown[0], QStringLiteral("Canvas does not allow drawing."));
    EXPECT_EQ(shown[1], QString()) << "other exceptions are shown with an empty message";
}

TEST_F(ExceptionBox, MessagesEndingInAFullStopAreShownAsTheyAre) {
    ShowException(std::make_exception_ptr(Exception(QStringLiteral("Out of memory."))));
    EXPECT_EQ(shown, QStringList{"Out of memory."});
}

TEST(MessageBoxText, ExceptionMessageIsShownAsPlainText) {
    const MessageBoxHandler previous = setMessageBoxHandler({});
    QLabel* shownText = nullptr;
    bool literal = false;
    // The box runs its own loop; this timer looks at it from inside and closes it.
    QTimer inspector;
    QObject::connect(&inspector, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shownText = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        literal = shownText && showsTextLiterally(*shownText);
        box->accept();
    });
    inspector.start(10);
    ShowException(std::make_exception_ptr(Exception(QStringLiteral("Bad value <b>42</b>"))));
    setMessageBoxHandler(previous);
    ASSERT_NE(shownText, nullptr);
    EXPECT_TRUE(literal) << "the markup shows as typed";
}
