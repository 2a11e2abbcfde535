#pragma once
// What the entries of one session share: the image holders, the entry registry and the
// naming settings. The session owns one; its two row models and every entry in them refer
// to it, so that two sessions (or two tests) never see each other's entries.
//
// Members are destroyed in reverse order: the registry before the holders it releases into.
#include "entries/datensatzlist.h"
#include "entries/namingsettings.h"
#include "imaging/dsorgbild.h"

struct TEntryStore
{
    TEntryStore() = default;
    TEntryStore(const TEntryStore &) = delete;
    TEntryStore &operator=(const TEntryStore &) = delete;

    THolderList Holders;
    TDatensatzList Registry;
    TNamingSettings Naming = TNamingSettings::Defaults();
};
