#pragma once

#include <QString>

// The program's well-known directories; every returned directory ends with "/".
class PathUtil
{
public:
    // Per-user application data; created when missing.
    static QString appDataDir();
    static QString appDir();
    static QString downloadDir();
    // Makes sure the absolute directory path exists, creating missing levels; returns path.
    static QString makePath(const QString &path);
};
