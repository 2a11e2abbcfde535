#pragma once
// Paths of the test fixtures in tests/data.
#include <QString>

// The fixture folder, or a file or folder in it. Its absolute path is compiled into
// testdata.cpp alone, so that the other test files compile the same in every checkout.
QString testDataPath(const QString &relative = {});
