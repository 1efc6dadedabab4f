#pragma once

#include <QString>

// The program's well-known directories; every returned directory ends with "/".
class PathUtil
{
public:
    // Per-user application data; created when missing.
    static QString appDataDir();
    static QString appDir();
    // Whether the client may write beside its executable (development builds, portable copies).
    // Never where the package manager owns the folder: below /usr outside /usr/local.
    static bool isAppDirWritable();
    static bool isWritableAppDir(const QString &dir);
    // The per-user settings folder ("brimvale/" in the user's configuration folder), where an
    // installed client keeps what it may not write beside the executable; created when missing.
    static QString userConfigDir();
    // The installed private folder (our SDK libraries, the upgrade tool), found from the
    // executable's folder as the install rules lay it out.
    static QString privateDir();
    static QString downloadDir();
    // Makes sure the absolute directory path exists, creating missing levels; returns path.
    static QString makePath(const QString &path);
};
