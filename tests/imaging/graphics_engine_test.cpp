#include "imaging/Zvqcomp.h"

#include <gtest/gtest.h>
#include <QObject>
#include <vector>

#include "test_support.h"
#include "toolkit/streams.h"

namespace {

// An engine whose percent done the test moves by hand.
class ScriptedEngine : public TZVQGraphicsEngine {
public:
    explicit ScriptedEngine(QObject* owner = nullptr) : TZVQGraphicsEngine(owner) {
        OnProgressReport = [this](TObject* sender) {
            EXPECT_EQ(sender, this);
            reportedAt.push_back(percent);
        };
    }
    int GetPercentDone() override { return percent; }
    void CloseImageStream() override {
        ++closes;
        TZVQGraphicsEngine::CloseImageStream();
    }

    int percent = 0;
    int closes = 0;
    std::vector<int> reportedAt;
};

void progressThrough(ScriptedEngine& engine, const std::vector<int>& percents) {
    for (int percent : percents) {
        engine.percent = percent;
        engine.DoProgress();
    }
}

// --- progress ---

TEST(GraphicsEngineProgress, ReportsOnGainsOfFiveAndOnEveryFall) {
    ScriptedEngine engine;
    progressThrough(engine, {0, 3, 4, 5, 9, 10, 2});
    EXPECT_EQ(engine.reportedAt, (std::vector<int>{5, 10, 2}));
    EXPECT_EQ(engine.GetLastPercent(), 2);
}

TEST(GraphicsEngineProgress, LastPercentIsReadAgainAfterTheEvent) {
    ScriptedEngine engine;
    engine.OnProgressReport = [&](TObject*) { engine.percent = 42; };
    progressThrough(engine, {5});
    EXPECT_EQ(engine.GetLastPercent(), 42);
}

TEST(GraphicsEngineProgress, ReportsWithoutAHandlerStillMoveLastPercent) {
    ScriptedEngine engine;
    engine.OnProgressReport = nullptr;
    progressThrough(engine, {7});
    EXPECT_EQ(engine.GetLastPercent(), 7);
}

// --- abort ---

TEST(GraphicsEngineAbort, TakesEffectAtTheNextReportOnly) {
    ScriptedEngine engine;
    engine.Abort();
    progressThrough(engine, {4});
    EXPECT_TRUE(engine.GetAborted());
    engine.percent = 5;
    expectThrowWithMessage<Exception>([&] { engine.DoProgress(); }, "User Abort");
    EXPECT_EQ(engine.reportedAt, (std::vector<int>{5}));
}

TEST(GraphicsEngineAbort, AnAbortFromTheProgressHandlerStopsAtThatReport) {
    ScriptedEngine engine;
    engine.OnProgressReport = [&](TObject*) { engine.Abort(); };
    engine.percent = 50;
    expectThrowWithMessage<Exception>([&] { engine.DoProgress(); }, "User Abort");
}

TEST(GraphicsEngineAbort, ClosingTheImageStreamWithdrawsTheRequest) {
    ScriptedEngine engine;
    engine.Abort();
    engine.CloseImageStream();
    EXPECT_FALSE(engine.GetAborted());
    EXPECT_NO_THROW(progressThrough(engine, {50}));
}

// --- image stream and warnings ---

TEST(GraphicsEngineStream, ReopeningTheOpenStreamDoesNotCloseIt) {
    ScriptedEngine engine;
    TMemoryStream stream;
    engine.OpenImageStream(&stream);
    engine.OpenImageStream(&stream);
    EXPECT_EQ(engine.closes, 0);
    EXPECT_EQ(engine.GetImageStream(), &stream);
}

TEST(GraphicsEngineStream, OpeningAnotherStreamClosesTheFirstThroughTheCodec) {
    ScriptedEngine engine;
    TMemoryStream first, second;
    engine.OpenImageStream(&first);
    engine.Abort();
    engine.OpenImageStream(&second);
    EXPECT_EQ(engine.closes, 1);
    EXPECT_EQ(engine.GetImageStream(), &second);
    EXPECT_FALSE(engine.GetAborted());
}

TEST(GraphicsEngineStream, WarningsGoToTheHandlerWithTheSender) {
    ScriptedEngine engine;
    TObject* sender = nullptr;
    int code = 0;
    QString message;
    engine.Warning(4096, "no handler yet");
    engine.OnWarning = [&](TObject* s, int c, const QString& m) {
        sender = s;
        code = c;
        message = m;
    };
    engine.Warning(4097, "odd block");
    EXPECT_EQ(sender, &engine);
    EXPECT_EQ(code, 4097);
    EXPECT_EQ(message, "odd block");
}

TEST(GraphicsEngineStream, AnOwnedEngineGoesWithItsOwner) {
    struct Probe : ScriptedEngine {
        Probe(QObject* owner, bool& flag) : ScriptedEngine(owner), flag_(flag) {}
        ~Probe() override { flag_ = true; }
        bool& flag_;
    };
    auto owner = std::make_unique<QObject>();
    bool destroyed = false;
    auto* engine = new Probe(owner.get(), destroyed);
    EXPECT_EQ(engine->GetOwner(), owner.get());
    owner.reset();
    EXPECT_TRUE(destroyed);
}

}  // namespace
