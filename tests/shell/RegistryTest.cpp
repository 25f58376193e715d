#include "shell/base/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

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

TEST_F(RegistryTest, DamagedFileIsSetAsideNotOverwritten) {
    const QString path = QDir(user_.path()).filePath("registry.json");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ not json");
    f.close();
    TRegistry::ReloadStores();
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("Software"));
    EXPECT_TRUE(QFile::exists(path + ".bad"));
    ASSERT_TRUE(reg.OpenKey("Software\\x", true));
    EXPECT_TRUE(reg.WriteInteger("n", 1));
    TRegistry::ReloadStores();
    ASSERT_TRUE(reg.OpenKey("Software\\x", false));
    EXPECT_EQ(reg.ReadInteger("n"), 1);
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
