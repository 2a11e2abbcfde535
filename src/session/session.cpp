#include "session/session.h"

#include "batch/spmlistsetting.h"
#include "entries/datensatz.h"
#include "imaging/libgfl.h"
#include "session/pairchecking.h"

TSession::TSession()
    : m_spmListFile(DefaultSpmListFile()), m_left(m_entries, dsLeft), m_right(m_entries, dsRight)
{
    ListRowModel::LinkLists(m_left, m_right);
    // Passes with the alignment method decide doubtful pairs by their pictures.
    m_state.PairContent = MakeContentJudge(&Gfl());
}

TSession::~TSession()
{
    // Every entry (also one without a row) goes while the rows, holders and registry are
    // still there; the lists then delete empty rows.
    m_entries.Registry.FreeAll();
}
