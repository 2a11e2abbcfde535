#pragma once

#include "imaging/libgfl.h"

#include <gtest/gtest.h>

#include <QString>

// A test suite whose tests share one loaded imaging library; the modules are loaded once
// per suite because loading them is the slow part of a small test.
class GflLibraryTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { loadLibrary(QString()); }
    static void TearDownTestSuite()
    {
        delete library;
        library = nullptr;
    }
    static void loadLibrary(const QString &pluginFolder)
    {
        library = new TGflLibrary;
        QString messages;
        ASSERT_TRUE(library->GflLoad(QStringLiteral(GFL_CORE_MODULE_NAME),
                                     QStringLiteral(GFL_EFFECTS_MODULE_NAME), pluginFolder,
                                     messages))
            << messages.toStdString();
    }

    static inline TGflLibrary *library = nullptr;
};
