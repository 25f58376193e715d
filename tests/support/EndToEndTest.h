#pragma once

// The set-up the end-to-end tests of the workstation share: a private server on a
// temporary folder (its socket, a copy of the prepared demo store, its log) that the
// workstation starts itself as in use, and a settings folder of its own. Whatever the
// test registered or replaced is undone when it ends, and its server is killed.
#include "session/LocalSocketSession.h"
#include "shell/base/Registry.h"
#include "shell/contract/WindowCatalog.h"
#include "support/RealServer.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace realserver {

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = ServerBinary();
        if (!QFileInfo(server_).isExecutable())
            GTEST_SKIP() << "no session server at " << server_.toStdString();
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(PrepareStore(Db())) << "the server did not prepare a store";
        SetEnv("ORVEX_SERVER_SOCKET", Path("parvane.sock"));
        SetEnv("ORVEX_SERVER_DB", Db());
        SetEnv("ORVEX_SERVER_LOG", Log());
        SetEnv("ORVEX_SERVER_IDLE", QStringLiteral("5"));
        SetEnv("ORVEX_SERVER_PATH", server_);
        SetEnv("ORVEX_CONFIG_DIR", Path("config"));
        TRegistry::ReloadStores();
        Services::SetProcess(process_);
        LocalSocketSession::ResetFirstFailure();
        LocalSocketSession::SetAttachTimeout(30000);
    }

    void TearDown() override {
        for (int c = 0; c < int(WindowCommand::Count_); ++c)
            TWindowCatalog::Unregister(WindowCommand(c));
        Services::SetMessageBox(nullptr);
        Services::SetProcess(nullptr);
        for (const char* name : env_)
            qunsetenv(name);
        TRegistry::ReloadStores();
    }

    // A variable of the environment for this test alone (the server reads its own
    // when the workstation starts it).
    void SetEnv(const char* name, const QString& value) {
        qputenv(name, value.toUtf8());
        env_.push_back(name);
    }
    // Message boxes answered by the test's own stand-in until the test ends.
    template <typename Boxes> std::shared_ptr<Boxes> UseBoxes() {
        auto boxes = std::make_shared<Boxes>();
        Services::SetMessageBox(boxes);
        return boxes;
    }

    QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    QString Db() const { return Path("store.sqlite"); }
    QString Log() const { return Path("parvane.log"); }
    const QString& Server() const { return server_; }
    // The servers the workstation started, in order.
    RecordingProcess& Process() { return *process_; }

private:
    QString server_;
    QTemporaryDir dir_;
    std::shared_ptr<RecordingProcess> process_ = std::make_shared<RecordingProcess>();
    std::vector<const char*> env_;
};

} // namespace realserver
