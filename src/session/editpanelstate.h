#pragma once
// What the edit panels of one side show for the selected entry of that side's list: which
// controls are enabled, "Exclude from Batch Job" and the "View" values. The window fills
// its controls from this while its Updating flag keeps their handlers quiet.
#include <QtGlobal>

class ListRowModel;

struct TEditPanelState
{
    bool HasEntry = false;
    // "Swap", "Split into Monoscopic", "Remove from list" and the "View" controls.
    bool SideControlsEnabled = false;
    bool ExcludeChecked = false; // "Exclude from Batch Job": not Batch
    bool ExcludeEnabled = false;
    bool Invert = false;
    int Rotation = 0; // item of "Rotation (Clockwise)", 0..3
    bool Mirror = false;
};

// The state for the selected entry (first selected row) of list. editAreaEnabled: the
// controls below the preview are enabled (not while the pair prompt is open).
TEditPanelState EditPanelState(const ListRowModel &list, bool editAreaEnabled);

// With synchronous selection (panelFlags 0), when the selected entry's row of list has the
// focus and the entry has a partner, the other list is scrolled so that the partner stands
// as far from its top as the entry stands from the top of list.
void AlignPartnerScroll(const ListRowModel &list, quint8 panelFlags);
