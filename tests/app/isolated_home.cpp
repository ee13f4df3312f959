// No test of the station may reach the user's own files: the archive in
// ~/.local/share, reports offered in ~/Documents, settings. The test
// program runs with a home and data folders of its own, which the
// programs it starts inherit; the fixture of the station tests then gives
// every test an archive of its own within it.
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "app/read_archive.h"

namespace {

class IsolatedHome : public ::testing::Environment {
public:
    void SetUp() override {
        home_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(home_->isValid());
        realHome_ = QDir::homePath();
        qputenv("HOME", home_->path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", home_->filePath(QStringLiteral(".local/share")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home_->filePath(QStringLiteral(".config")).toLocal8Bit());
        // Even one set in the developer's shell must not lead a test to it.
        qunsetenv("QUORVAN_ARCHIVE");
    }

    static QString realHome() { return realHome_; }
    static QString home() { return home_->path(); }

private:
    static inline std::unique_ptr<QTemporaryDir> home_;
    static inline QString realHome_;
};

[[maybe_unused]] const auto* const kIsolatedHome =
    ::testing::AddGlobalTestEnvironment(new IsolatedHome);

}  // namespace

TEST(TestIsolation, TheDefaultArchiveIsInTheTestProgramsOwnHome) {
    const QString file = archiveLocation();
    EXPECT_TRUE(file.startsWith(IsolatedHome::home() + QLatin1Char('/'))) << file.toStdString();
    EXPECT_FALSE(file.startsWith(IsolatedHome::realHome() + QStringLiteral("/.local")))
        << file.toStdString();
}
