// corvalen-register as a user runs it: it registers and unregisters a
// module's class, and says so, or fails with a message and a non-zero exit.
#include <QProcess>

#include "support/VelmoraTestSupport.h"

namespace {

const QString kProgram = QStringLiteral(CORVALEN_BIN_DIR "/corvalen-register");

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun RunRegister(const QStringList& args) {
    QProcess p;
    p.start(kProgram, args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

class RegisterProgram : public TRegistryFixture {};

TEST_F(RegisterProgram, RegistersAndUnregistersTheModulesClass) {
    const QString module = QString::fromStdString(kVelmoraPath);
    TRun r = RunRegister({module});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("DllRegisterServer"))) << r.out.toStdString();
    EXPECT_FALSE(RegisteredModulePath(CLASS_Velmora).empty());

    r = RunRegister({QStringLiteral("-u"), module});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(RegisteredModulePath(CLASS_Velmora).empty());
    EXPECT_TRUE(DumpUserHive().empty());
}

TEST_F(RegisterProgram, FailsWithAMessageWhereNothingCanBeRegistered) {
    struct TCase {
        const char* what;
        QStringList args;
        int exitCode;
        const char* says;
    };
    const TCase cases[] = {
        {"no module", {}, 2, "usage"},
        {"unknown option", {QStringLiteral("-x"), QStringLiteral("a.so")}, 2, "usage"},
        {"missing file", {QStringLiteral("/nonexistent/Velmora.so")}, 1, "cannot load"},
        {"not a component module",
         {QStringLiteral(CORVALEN_BIN_DIR "/log32.so")},
         1,
         "has no entry point DllRegisterServer"},
    };
    for (const TCase& c : cases) {
        const TRun r = RunRegister(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << c.what << ": " << r.err.toStdString();
    }
    // A hive that cannot be written: a failure, said as one.
    dir_.write("hkcu.reg", "damaged\n");
    const TRun r = RunRegister({QString::fromStdString(kVelmoraPath)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("failed"))) << r.err.toStdString();
}

} // namespace
