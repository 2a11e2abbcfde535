#pragma once
// The logic of the mask editor on the "Text" tab, without any widget: the list of saved
// masks (schemas), the insertion of a token at the caret, the piece of the mask that a
// double click selects, and the texts that the token palette inserts.
//
// The schema list is plain data (items and selected index) so that the frame can keep it
// in its drop-down list, where the settings walker saves and restores it, and hand it to
// these operations for every change. Every item is stored as one blank followed by a mask;
// the blank is removed whenever an item is copied into the mask edit.
#include <QString>
#include <QStringList>

#include <vector>

// "Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>".
QString DefaultRenameMask();

// The saved schemas and the mask being edited.
struct TMaskSchemas
{
    QStringList Items; // each item: a blank followed by a mask
    int Selected = -1; // selected item, -1 none
    QString Mask;      // the text of the mask edit

    bool HasSelection() const { return Selected >= 0 && Selected < Items.size(); }
};

// The state of a new frame: the default mask, selected as the only schema.
TMaskSchemas InitialMaskSchemas();

// The item that stores mask: a blank followed by the mask.
QString SchemaItem(const QString &mask);

// A schema was chosen from the list: the mask becomes the selected item, trimmed.
void ChooseSchema(TMaskSchemas &s, int index);

// The mask was edited: the selected schema (if any) follows it. Returns true when a schema
// is selected, that is when the preview is to be refreshed.
bool FollowMask(TMaskSchemas &s, const QString &mask);

// "New" with a non-blank mask: the mask is emptied and a new schema of a single blank is
// added and selected. Returns false (and changes nothing) when the mask is blank; the
// frame then only opens the palette.
bool NewSchema(TMaskSchemas &s);

// "Clear": deletes the selected schema. An emptied list gets one schema of a single blank.
// Then the item at the former index (or the last item) is selected and the mask becomes its
// trimmed text, or empty without selection.
void ClearSchema(TMaskSchemas &s);

// Before the list drops down: items that are blank after trimming are deleted; if none is
// left, the current mask becomes the only, selected schema. The selection stays on its item
// when that item survives, else on none.
void PruneSchemas(TMaskSchemas &s);

// The piece of the mask that a double click at caret selects, as (start, length): back to
// the nearest "<" or ">" before the caret and forward to the nearest "<" or ">" after it; a
// "<" at the start and a ">" at the end belong to the piece, a ">" at the start and a "<"
// at the end do not. Without such a character before the caret the piece starts at the
// beginning, without one after it, it runs to the end. So a double click inside a token
// selects the whole token, between two tokens the text between them.
struct TMaskPiece
{
    int Start = 0;
    int Length = 0;
};
TMaskPiece MaskPieceAt(const QString &mask, int caret);

// The text a palette button inserts: a token that already holds ">" (and "#") as it is,
// any other completed with "_L>" or, with rightSide, "_R>".
QString PaletteInsertText(const QString &token, bool rightSide);

// One button of the token palette.
struct TPaletteButton
{
    int Column;          // 0 "Common", 1 the file tokens, 2 "EXIF Tags"
    const char *Caption; // button caption
    const char *Token;   // token text before completion
    const char *Name;    // control name
};

// Every palette button, column by column, top to bottom.
const std::vector<TPaletteButton> &PaletteButtons();
