#pragma once

#include <QString>

// File helpers for the client upgrade and other file checks. Static, no state.
class FileUtil
{
public:
    // Copies source over target, removing an existing target first. False, with a log line, when
    // the source is not a readable regular file, the target cannot be removed or the copy fails.
    static bool copyFile(const QString &source, const QString &target);
    static bool removeFile(const QString &path);
    static bool fileExists(const QString &path);
};
