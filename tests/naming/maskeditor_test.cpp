// The mask editor's logic: the schema list operations, the piece a double click selects and
// the texts the token palette inserts.
#include "maskfixture.h"
#include "naming/maskeditor.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TMaskSchemas schemas(QStringList items, int selected, QString mask)
{
    TMaskSchemas s;
    s.Items = std::move(items);
    s.Selected = selected;
    s.Mask = std::move(mask);
    return s;
}

struct SchemaCase
{
    const char *name;
    TMaskSchemas before;
    std::function<void(TMaskSchemas &)> operation;
    TMaskSchemas after;
};

TEST(MaskSchemas, OperationsKeepListSelectionAndMaskInStep)
{
    const SchemaCase cases[] = {
        {"clearing the only schema leaves one empty schema and an empty mask",
         schemas({" A#"}, 0, "A#"), ClearSchema, schemas({" "}, 0, "")},
        {"clearing a middle schema selects the one that moves into its place",
         schemas({" A", " B", " C"}, 1, "B"), ClearSchema, schemas({" A", " C"}, 1, "C")},
        {"clearing the last schema selects the new last one", schemas({" A", " B"}, 1, "B"),
         ClearSchema, schemas({" A"}, 0, "A")},
        {"opening the list drops blank schemas and keeps the selection on its item",
         schemas({" ", " A", "  ", " B"}, 3, "B"), PruneSchemas, schemas({" A", " B"}, 1, "B")},
        {"a selected blank schema that is dropped leaves no selection", schemas({" A", " "}, 1, ""),
         PruneSchemas, schemas({" A"}, -1, "")},
        {"when every schema is blank the current mask becomes the only schema",
         schemas({" ", " "}, 0, "X##"), PruneSchemas, schemas({" X##"}, 0, "X##")},
        {"a new schema empties the mask and selects a blank item", schemas({" A"}, 0, "A"),
         [](TMaskSchemas &s) { EXPECT_TRUE(NewSchema(s)); }, schemas({" A", " "}, 1, "")},
        {"no new schema while the mask is blank", schemas({" A", " "}, 1, "  "),
         [](TMaskSchemas &s) { EXPECT_FALSE(NewSchema(s)); }, schemas({" A", " "}, 1, "  ")},
        {"the selected schema follows the edited mask", schemas({" A", " B"}, 1, "B"),
         [](TMaskSchemas &s) { EXPECT_TRUE(FollowMask(s, QStringLiteral("B<Model_L> "))); },
         schemas({" A", " B<Model_L> "}, 1, "B<Model_L> ")},
        {"without a selected schema the list stays as it is", schemas({" A"}, -1, ""),
         [](TMaskSchemas &s) { EXPECT_FALSE(FollowMask(s, QStringLiteral("Z"))); },
         schemas({" A"}, -1, "Z")},
        {"choosing a schema puts its trimmed text into the mask", schemas({" A", "  B  "}, 0, "A"),
         [](TMaskSchemas &s) { ChooseSchema(s, 1); }, schemas({" A", "  B  "}, 1, "B")},
    };
    for (const SchemaCase &c : cases) {
        SCOPED_TRACE(c.name);
        TMaskSchemas s = c.before;
        c.operation(s);
        EXPECT_EQ(s.Items, c.after.Items);
        EXPECT_EQ(s.Selected, c.after.Selected);
        EXPECT_EQ(s.Mask, c.after.Mask);
    }
}

TEST(MaskSchemas, ANewFrameStartsWithTheDefaultMaskSelected)
{
    const TMaskSchemas s = InitialMaskSchemas();
    EXPECT_EQ(s.Mask,
              QStringLiteral(
                  "Pict_###<Textfield 1><Textfield 2><Textfield 3>_L<FileName_L>+R<FileName_R>"));
    EXPECT_EQ(s.Items, QStringList{QLatin1Char(' ') + s.Mask});
    EXPECT_EQ(s.Selected, 0);
}

TEST(MaskPiece, DoubleClickSelectsTheTokenOrTheTextBetweenTokens)
{
    const QString mask = QStringLiteral("Pict_###<Filename_L>+R<Date Taken_R[Y-m-d]>end");
    const struct
    {
        int caret;
        const char *selected;
    } cases[] = {
        {2, "Pict_###"},               // before the first token: from the start
        {12, "<Filename_L>"},          // inside a token: the token with its brackets
        {9, "<Filename_L>"},           // right after the "<"
        {8, "Pict_###"},               // right before it
        {21, "+R"},                    // between two tokens
        {30, "<Date Taken_R[Y-m-d]>"}, // a token with a parameter
        {int(mask.size()), "end"},     // after the last token: to the end
        {1000, "end"},                 // a caret beyond the text counts as its end
    };
    for (const auto &c : cases) {
        const TMaskPiece piece = MaskPieceAt(mask, c.caret);
        EXPECT_EQ(mask.mid(piece.Start, piece.Length), QString::fromLatin1(c.selected))
            << "caret " << c.caret;
    }
    EXPECT_EQ(MaskPieceAt(QStringLiteral("plain"), 3).Length, 5);
}

TEST(Palette, FileTokensTakeTheChosenSide)
{
    EXPECT_EQ(PaletteInsertText(QStringLiteral("#"), false), QStringLiteral("#"));
    EXPECT_EQ(PaletteInsertText(QStringLiteral("#"), true), QStringLiteral("#"));
    EXPECT_EQ(PaletteInsertText(QStringLiteral("<Filename"), true), QStringLiteral("<Filename_R>"));
    EXPECT_EQ(PaletteInsertText(QStringLiteral("<Size KB"), false), QStringLiteral("<Size KB_L>"));
    EXPECT_EQ(PaletteInsertText(QStringLiteral("<Textfield 2>"), true),
              QStringLiteral("<Textfield 2>"));

    // Every file token the palette inserts is one the mask language replaces: evaluated for
    // an image without metadata none of them stays in the name as text.
    const MaskEntry image = maskImage(QStringLiteral("/f/IMG_12.JPG"), MaskListLeft, 1);
    for (const TPaletteButton &b : PaletteButtons()) {
        for (bool right : {false, true}) {
            const QString token = PaletteInsertText(QString::fromLatin1(b.Token), right);
            const QString name = evalMask(QStringLiteral("a") + token + QStringLiteral("b"), image);
            EXPECT_FALSE(name.contains(u'_') && name.contains(QLatin1String(b.Token + 1)))
                << b.Caption << " inserts " << token.toStdString() << " giving "
                << name.toStdString();
        }
    }
}

} // namespace
