#include "shell/base/Registry.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// Points both stores at a fresh folder for one test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ORVEX_CONFIG_DIR", user_.path().toLocal8Bit());
        qputenv("ORVEX_MACHINE_CONFIG_DIR", machine_.path().toLocal8Bit());
        TRegistry::ReloadStores();
    }
    void TearDown() override {
        qunsetenv("ORVEX_CONFIG_DIR");
        qunsetenv("ORVEX_MACHINE_CONFIG_DIR");
        TRegistry::ReloadStores();
    }
    QTemporaryDir user_;
    QTemporaryDir machine_;
};

} // namespace

TEST_F(RegistryTest, ValuesSurviveAReloadFromTheFile) {
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\orvexprof\\Desktops", true));
        EXPECT_TRUE(reg.WriteString(QStringLiteral("Утро"), QStringLiteral("окна")));
        EXPECT_TRUE(reg.WriteInteger("Count", -5));
        EXPECT_TRUE(reg.WriteBinary("Blob", QByteArray("\x00\x01\xff", 3)));
    }
    TRegistry::ReloadStores();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\OrvexProf\\desktops")); // any case, leading "\"
    EXPECT_EQ(reg.ReadString(QStringLiteral("утро")), QStringLiteral("окна"));
    EXPECT_EQ(reg.ReadInteger("Count"), -5);
    EXPECT_EQ(reg.ReadBinary("Blob"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(reg.GetValueNames(), QStringList({QStringLiteral("Утро"), "Count", "Blob"}));
    // Asking for another type gives the fallback rather than a converted value.
    EXPECT_EQ(reg.ReadInteger(QStringLiteral("Утро"), 7), 7);
    EXPECT_EQ(reg.ReadString("Missing", "x"), "x");
}

TEST_F(RegistryTest, KeysListDeleteAndDoNotAppearWithoutCreate) {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\p\\Nope", false));
    EXPECT_FALSE(reg.KeyExists("Software\\p\\Nope"));
    ASSERT_TRUE(reg.OpenKey("Software\\p\\Desktops\\A", true));
    ASSERT_TRUE(reg.OpenKey("Software\\p\\Desktops\\B\\Deep", true));
    EXPECT_TRUE(reg.KeyExists("Software\\p\\Desktops\\B"));
    ASSERT_TRUE(reg.OpenKey("Software\\p\\Desktops", false));
    EXPECT_EQ(reg.GetKeyNames(), QStringList({"A", "B"}));
    EXPECT_TRUE(reg.DeleteKey("Software\\p\\Desktops\\B"));
    EXPECT_FALSE(reg.KeyExists("Software\\p\\Desktops\\B\\Deep"));
    EXPECT_EQ(reg.GetKeyNames(), QStringList({"A"}));
    reg.WriteString("v", "1");
    EXPECT_TRUE(reg.DeleteValue("V"));
    EXPECT_FALSE(reg.ValueExists("v"));
}

TEST_F(RegistryTest, MachineStoreIsReadOnly) {
    QFile f(QDir(machine_.path()).filePath("registry.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"keys":[{"path":"SOFTWARE\\Vendor","values":[)"
            R"({"name":"App Path","type":"string","value":"/opt/app"}]}]})");
    f.close();
    TRegistry::ReloadStores();
    TRegistry reg(TRegistry::Scope::LocalMachine);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Vendor"));
    EXPECT_EQ(reg.ReadString("App Path"), "/opt/app");
    EXPECT_FALSE(reg.WriteString("x", "y"));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\New", true));
    EXPECT_FALSE(reg.DeleteKey("SOFTWARE\\Vendor"));
}

TEST_F(RegistryTest, DamagedOrWrongShapedFilesAreSetAsideByteForByte) {
    struct Case {
        const char* what;
        QByteArray contents;
    };
    const Case cases[] = {
        {"truncated JSON", R"({"keys":[{"path":"Software\\x","values":[)"},
        {"binary garbage", QByteArray("\x00\xff\x13\x98garbage", 12)},
        {"a document that is a list", "[1, 2]"},
        {"keys not a list", R"({"keys":"oops"})"},
        {"no keys at all", R"({"other":[]})"},
        {"a key that is a number", R"({"keys":[5]})"},
        {"a key without path", R"({"keys":[{"values":[]}]})"},
        {"values not a list", R"({"keys":[{"path":"Software","values":{}}]})"},
        {"a value without name",
         R"({"keys":[{"path":"Software","values":[{"type":"string","value":"a"}]}]})"},
        {"an integer held as text",
         R"({"keys":[{"path":"Software","values":[{"name":"n","type":"integer","value":"5"}]}]})"},
        {"an integer out of range",
         R"({"keys":[{"path":"S","values":[{"name":"n","type":"integer","value":3e10}]}]})"},
        {"binary that is not Base64",
         R"({"keys":[{"path":"S","values":[{"name":"b","type":"binary","value":"*?"}]}]})"},
        {"text that is not UTF-8",
         QByteArray(R"({"keys":[{"path":"S)") + "\xff\xfe" + R"(","values":[]}]})"},
        {"an unknown escape", R"({"keys":[{"path":"S\q","values":[]}]})"},
        {"a control character in text",
         QByteArray(R"({"keys":[{"path":"S)") + "\x01" + R"(","values":[]}]})"},
        {"text after the document", R"({"keys":[]} {})"},
        {"a bad number", R"({"keys":[],"other":1.2.3})"},
        {"an unknown type",
         R"({"keys":[{"path":"S","values":[{"name":"b","type":"float","value":1.5}]}]})"},
    };
    const QString path = QDir(user_.path()).filePath("registry.json");
    const QString log = QDir(user_.path()).filePath("test.log");
    const QString savedLog = LogFileName();
    SetLogFileName(log);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path + ".bad");
        QFile::remove(log);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.contents);
        f.close();
        TRegistry::ReloadStores();
        TRegistry reg;
        EXPECT_FALSE(reg.KeyExists("Software"));
        QFile aside(path + ".bad");
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), c.contents);
        QFile logFile(log);
        ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
        EXPECT_TRUE(Cp1251::Decode(logFile.readAll()).contains("Файл настроек поврежден"));
        // The next change starts a new file and leaves the copy alone.
        ASSERT_TRUE(reg.OpenKey("Software\\x", true));
        EXPECT_TRUE(reg.WriteInteger("n", 1));
        TRegistry::ReloadStores();
        ASSERT_TRUE(reg.OpenKey("Software\\x", false));
        EXPECT_EQ(reg.ReadInteger("n"), 1);
        aside.seek(0);
        EXPECT_EQ(aside.readAll(), c.contents);
    }
    SetLogFileName(savedLog);
}

TEST_F(RegistryTest, TextsOfEveryKindSurviveAReload) {
    const QString texts[] = {
        QString(),
        QStringLiteral("quote \" backslash \\ slash /"),
        QStringLiteral("controls \n\r\t\b\f") + QChar(1) + QChar(0x1f),
        QStringLiteral("Утро, ёлка, №5"),
        QString::fromUtf8("\xf0\x9f\x98\x80 beyond the basic plane"),
        QString(1000, QLatin1Char('x')),
    };
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Текст \"в кавычках\""), true));
        for (int i = 0; i < int(std::size(texts)); ++i)
            EXPECT_TRUE(reg.WriteString(QStringLiteral("name ") + texts[i], texts[i]));
    }
    TRegistry::ReloadStores();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(QStringLiteral("Software\\Текст \"в кавычках\""), false));
    for (const QString& text : texts)
        EXPECT_EQ(reg.ReadString(QStringLiteral("name ") + text, QStringLiteral("missing")), text);
    // Members the store does not know are passed over, however deep.
    const QString path = QDir(user_.path()).filePath("registry.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(R"({"future":{"a":[1,-2.5e3,true,false,null,{"b":"\u0416"}]},"keys":[
        {"path":"S","extra":[[]],"values":[{"name":"n","type":"integer","value":-7,"x":{}}]}]})");
    f.close();
    TRegistry::ReloadStores();
    ASSERT_TRUE(reg.OpenKey("S", false));
    EXPECT_EQ(reg.ReadInteger("n"), -7);
}

TEST_F(RegistryTest, EachDamageKeepsItsOwnCopyAndNoneIsRemoved) {
    const QString path = QDir(user_.path()).filePath("registry.json");
    auto damage = [&](int n) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("damage " + QByteArray::number(n));
        f.close();
        TRegistry::ReloadStores();
        TRegistry().KeyExists("Software");
    };
    auto copy = [&](const QString& suffix) {
        QFile f(path + suffix);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    };
    for (int n = 0; n < 7; ++n)
        damage(n);
    EXPECT_EQ(copy(".bad"), "damage 0");
    for (int n = 1; n < 7; ++n)
        EXPECT_EQ(copy(".bad." + QString::number(n)), "damage " + QByteArray::number(n)) << n;
}

TEST_F(RegistryTest, DuplicateNamesInTheFileKeepTheFirstInAnyCase) {
    const QString path = QDir(user_.path()).filePath("registry.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"keys":[{"path":"Software\\x","values":[
        {"name":"Mode","type":"integer","value":1},
        {"name":"MODE","type":"integer","value":2},
        {"name":"b","type":"binary","value":"AAH/"}]}]})");
    f.close();
    TRegistry::ReloadStores();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\x", false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Mode", "b"}));
    EXPECT_EQ(reg.ReadInteger("mode"), 1);
    EXPECT_EQ(reg.ReadBinary("B"), QByteArray("\x00\x01\xff", 3));
    EXPECT_TRUE(reg.DeleteValue("MODE"));
    EXPECT_EQ(reg.ReadBinary("b"), QByteArray("\x00\x01\xff", 3));
    EXPECT_FALSE(reg.ValueExists("Mode"));
}

TEST_F(RegistryTest, WindowPlacementRoundTripAndNonsenseIsIgnored) {
    QWidget w;
    w.setMinimumSize(300, 300);
    w.setGeometry(10, 20, 400, 350);
    SaveWindowPlacement(w, "main");
    QWidget other;
    other.setMinimumSize(300, 300);
    ASSERT_TRUE(RestoreWindowPlacement(other, "main"));
    EXPECT_EQ(other.geometry(), QRect(10, 20, 400, 350));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(ProgramRegistryKey() + "\\main", false));
    reg.WriteInteger("Width", 5); // below the window's smallest size
    QWidget third;
    third.setMinimumSize(300, 300);
    EXPECT_FALSE(RestoreWindowPlacement(third, "main"));
    EXPECT_FALSE(RestoreWindowPlacement(third, "never-saved"));
}

TEST_F(RegistryTest, ValueNamesKeepEveryCharacterAndCompareWithoutCase) {
    const QString odd = QStringLiteral("Утро / вечер \\ a=b & c");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\orvexprof\\Desktops", true));
        EXPECT_TRUE(reg.WriteString(odd, "1"));
        EXPECT_TRUE(reg.WriteString(QStringLiteral("Утро"), "2"));
        // Another letter case, Cyrillic included, is the same value: it keeps the
        // spelling first written and takes the new text.
        EXPECT_TRUE(reg.WriteString(QStringLiteral("УТРО"), "3"));
        EXPECT_TRUE(reg.WriteString(QStringLiteral("утро / ВЕЧЕР \\ A=B & C"), "4"));
    }
    TRegistry::ReloadStores();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\orvexprof\\Desktops", false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({odd, QStringLiteral("Утро")}));
    EXPECT_EQ(reg.ReadString(odd), "4");
    EXPECT_EQ(reg.ReadString(QStringLiteral("утро")), "3");
}

TEST_F(RegistryTest, AChangeKeepsWhatAnotherInstanceWroteMeanwhile) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\orvexprof\\Desktops", true));
    ASSERT_TRUE(reg.WriteString("mine", "1"));
    // Another running instance rewrites the file with a desktop of its own.
    const QString path = QDir(user_.path()).filePath("registry.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(R"({"keys":[{"path":"Software\\orvexprof\\Desktops","values":[)"
            R"({"name":"mine","type":"string","value":"1"},)"
            R"({"name":"theirs","type":"string","value":"2"}]}]})");
    f.close();
    ASSERT_TRUE(reg.WriteString("later", "3"));
    TRegistry::ReloadStores();
    ASSERT_TRUE(reg.OpenKey("Software\\orvexprof\\Desktops", false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"mine", "theirs", "later"}));
}

TEST_F(RegistryTest, AFailedWriteIsLoggedAndLeavesTheOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into read-only folders";
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\x", true));
    ASSERT_TRUE(reg.WriteString("v", "old"));
    const QString path = QDir(user_.path()).filePath("registry.json");
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old = before.readAll();
    const QString log = QDir(machine_.path()).filePath("test.log");
    const QString savedLog = LogFileName();
    SetLogFileName(log);
    QFile::setPermissions(user_.path(), QFile::ReadOwner | QFile::ExeOwner);
    reg.WriteString("v", "new");
    QFile::setPermissions(user_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SetLogFileName(savedLog);
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old);
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(Cp1251::Decode(logFile.readAll()).contains("Не удалось сохранить настройки"));
}

// The other side of the kill test: started by it as a program of its own, saves
// without end until killed. Skipped in an ordinary run.
TEST(RegistrySaveLoop, SavesUntilKilled) {
    if (qEnvironmentVariableIsEmpty("ORVEX_REGISTRY_SAVE_LOOP"))
        GTEST_SKIP() << "runs only inside the kill test";
    const QString big(200000, QLatin1Char('x'));
    TRegistry reg;
    if (reg.OpenKey("Software\\x", true))
        for (int i = 0;; ++i)
            reg.WriteString("v", QString::number(i) + big);
}

// A program killed while it saves leaves the old file or the new one, whole.
TEST_F(RegistryTest, AKillDuringSavesLeavesAReadableFile) {
    const QString path = QDir(user_.path()).filePath("registry.json");
    const QString big(200000, QLatin1Char('x'));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVEX_REGISTRY_SAVE_LOOP", "1");
    env.insert("ORVEX_CONFIG_DIR", user_.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=RegistrySaveLoop.SavesUntilKilled"});
    ASSERT_TRUE(child.waitForStarted(30000));
    // Wait until the child has rewritten the file a few times, then kill it.
    bool rewritten = false;
    for (int tries = 0; tries < 6000 && !rewritten; ++tries) {
        QFile f(path);
        rewritten = f.open(QIODevice::ReadOnly) && f.readAll().contains("\"value\": \"5x");
        if (!rewritten)
            QThread::msleep(10);
    }
    child.kill(); // SIGKILL
    child.waitForFinished(30000);
    ASSERT_TRUE(rewritten);
    TRegistry::ReloadStores();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\x", false));
    const QString value = reg.ReadString("v");
    EXPECT_TRUE(value.endsWith(big));
    EXPECT_FALSE(QFile::exists(path + ".bad"));
    // The lock of the killed program does not hold up the next change.
    EXPECT_TRUE(reg.WriteString("after", "1"));
    TRegistry::ReloadStores();
    ASSERT_TRUE(reg.OpenKey("Software\\x", false));
    EXPECT_EQ(reg.ReadString("after"), "1");
}
