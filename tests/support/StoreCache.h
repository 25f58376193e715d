#pragma once

// Prepared stores shared by the tests of one build: a store is made once per key (the
// program that makes it, its options, the day) into a cache folder and every test gets
// a copy of its own. Test processes run in parallel: one makes the store under a lock
// file while the others wait, and the finished file appears by an atomic rename, so a
// reader never sees half a store.
#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <functional>
#include <unistd.h>

namespace storecache {

// What identifies a build of a program: its path, size and time of writing.
inline QString BuildOf(const QString& program) {
    const QFileInfo info(program);
    return QStringLiteral("%1|%2|%3")
        .arg(info.absoluteFilePath())
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

// The cache folder of the build a program belongs to ("<build>/test-stores").
inline QString FolderBeside(const QString& program) {
    return QFileInfo(program).absoluteDir().absoluteFilePath(QStringLiteral("../test-stores"));
}

namespace detail {

inline bool CopyTo(const QString& from, const QString& to) {
    QFile::remove(to);
    return QFile::copy(from, to);
}

// Stores of other keys unused for an hour are left over from earlier builds.
inline void PruneStale(const QDir& folder, const QString& keep) {
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    // Parts of a maker that was killed are left behind as well.
    const QStringList names = {QStringLiteral("*.sqlite"), QStringLiteral("*.part"),
                               QStringLiteral("*.part-*"), QStringLiteral("*.part.lock")};
    for (const QFileInfo& f : folder.entryInfoList(names, QDir::Files))
        if (f.fileName() != keep && f.lastModified() < old)
            QFile::remove(f.absoluteFilePath());
}

} // namespace detail

// Copies the store of key to dest, making it with make(path) first when the cache has
// none. make writes a complete, closed store at path and returns false on failure.
inline bool CopyPrepared(const QString& folderPath, const QString& key,
                         const std::function<bool(const QString&)>& make, const QString& dest) {
    const QString name =
        QString::fromLatin1(
            QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex()) +
        QStringLiteral(".sqlite");
    QDir folder(folderPath);
    const QString cached = folder.absoluteFilePath(name);
    // Used now: a later prune keeps it.
    auto touch = [&] {
        QFile f(cached);
        if (f.open(QIODevice::ReadWrite))
            f.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
    };
    if (QFileInfo::exists(cached) && detail::CopyTo(cached, dest)) {
        touch();
        return true;
    }
    if (!folder.mkpath(QStringLiteral(".")))
        return false;
    QLockFile lock(cached + QStringLiteral(".making"));
    lock.setStaleLockTime(0); // stale only when its maker is gone
    const bool locked = lock.tryLock(180000);
    if (locked && QFileInfo::exists(cached) && detail::CopyTo(cached, dest))
        return true;
    const QString part = cached + QStringLiteral(".%1.part").arg(::getpid());
    for (const char* suffix : {"", "-wal", "-shm", ".lock"})
        QFile::remove(part + QLatin1String(suffix));
    bool ok = make(part) && !QFileInfo::exists(part + QStringLiteral("-wal"));
    if (ok)
        ok = ::rename(QFile::encodeName(part).constData(), QFile::encodeName(cached).constData()) ==
             0;
    for (const char* suffix : {"", "-wal", "-shm", ".lock"})
        QFile::remove(part + QLatin1String(suffix));
    if (ok)
        detail::PruneStale(folder, name);
    return ok && detail::CopyTo(cached, dest);
}

// Copies the store the session server binary prepares (`--prepare-only`) with these
// options to dest; made once per server build, options and day.
inline bool CopyServerStore(const QString& server, const QString& dest,
                            const QStringList& options = {}) {
    const QString key = BuildOf(server) + QLatin1Char('|') + options.join(QLatin1Char(' ')) +
                        QLatin1Char('|') + QDate::currentDate().toString(Qt::ISODate);
    auto make = [&](const QString& part) {
        // Only the options given here decide what the store holds.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : env.keys())
            if (name.startsWith(QLatin1String("ORVEX_SERVER_")))
                env.remove(name);
        QProcess prepare;
        prepare.setProcessEnvironment(env);
        prepare.start(server,
                      QStringList{QStringLiteral("--prepare-only"), QStringLiteral("--db"), part} +
                          options);
        return prepare.waitForFinished(180000) && prepare.exitStatus() == QProcess::NormalExit &&
               prepare.exitCode() == 0;
    };
    return CopyPrepared(FolderBeside(server), key, make, dest);
}

} // namespace storecache
