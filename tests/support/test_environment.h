#pragma once

#include <QString>

class QTemporaryDir;

// Isolates a test process from the real user before QApplication exists:
// temporary HOME, XDG folders and TMPDIR, QStandardPaths test mode, and the
// offscreen platform with one default screen from a configfile. The test
// root is the working directory while it lives.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    // Root of the temporary tree that stands in for the user's home.
    static QString root();

private:
    QTemporaryDir* m_dir;
    QString m_previousDirectory;
};
