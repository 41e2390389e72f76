// The statistics table on the game screen: drawn every frame it is visible, from the
// statistics as they are at that moment.
#include <bit>
#include <cstdint>

#include "Format.h"
#include "Vantrel.h"

namespace {
// Column titles, one string; they line up with the grid as far as the font allows.
const std::string kHeader = "         W  L       MMR    Rank  To Rank up";

constexpr float kRowPitch = 20.0f;
constexpr std::array<float, 6> kRowLines{0, 20, 40, 60, 80, 100};
constexpr std::array<float, 7> kColumnLines{0, 40, 62, 85, 150, 200, 280};

// The texts of a row's last three cells, kept with the values they were made from. The
// table is drawn every frame but its numbers change about once a match, and formatting
// them cost several times the drawing: a row whose values are those of a kept entry
// draws the kept texts. Floats are compared by their bits, so every value (-0.0, NaN)
// gets exactly the text formatting it gives. Entry points run one at a time on the game
// thread, so the entries need no lock.
struct RowTexts {
    bool used = false;
    int wins = 0;
    int losses = 0;
    std::uint32_t change = 0;
    std::uint32_t toRankUp = 0;
    std::string rankText;
    std::string winLoss;
    std::string changeText;
    std::string rankColumn;
};

// One entry per row of the table, reused in turn.
std::array<RowTexts, 4> rowTexts;
std::size_t nextRowTexts = 0;

const RowTexts& TextsFor(int wins, int losses, float change, const std::string& rankText, float toRankUp) {
    const auto changeBits = std::bit_cast<std::uint32_t>(change);
    const auto toRankUpBits = std::bit_cast<std::uint32_t>(toRankUp);
    for (const RowTexts& kept : rowTexts) {
        if (kept.used && kept.wins == wins && kept.losses == losses && kept.change == changeBits &&
            kept.toRankUp == toRankUpBits && kept.rankText == rankText) {
            return kept;
        }
    }
    RowTexts& entry = rowTexts[nextRowTexts];
    nextRowTexts = (nextRowTexts + 1) % rowTexts.size();
    entry.used = false;  // stays unused if formatting throws
    entry.winLoss = FormatWinLoss(wins, losses);
    entry.changeText = FormatChange(change);
    entry.rankColumn = FormatRankColumn(rankText, toRankUp);
    entry.rankText = rankText;
    entry.wins = wins;
    entry.losses = losses;
    entry.change = changeBits;
    entry.toRankUp = toRankUpBits;
    entry.used = true;
    return entry;
}
}  // namespace

void Vantrel::OnOpenScoreboard(std::string /*eventName*/) { scoreboardOpen = true; }

void Vantrel::OnCloseScoreboard(std::string /*eventName*/) { scoreboardOpen = false; }

void Vantrel::Render(CanvasWrapper canvas) {
    if (!enabled || !*enabled) return;
    const bool inGame = gameWrapper->IsInOnlineGame() || gameWrapper->IsInGame();
    if (inGame && !scoreboardOpen) return;

    const float x = *posX;
    const float y = *posY;

    canvas.SetColor(0, 0, 0, 175);
    canvas.SetPosition(ToVector2(x - 5, y - 5));
    canvas.FillBox(Vector2{290, 110});

    canvas.SetColor(255, 255, 255, 175);
    for (float k : kRowLines) canvas.DrawLine(ToVector2(x, y + k), ToVector2(x + 280, y + k));
    for (float c : kColumnLines) canvas.DrawLine(ToVector2(x + c, y), ToVector2(x + c, y + 100));
    // A small upward triangle in the MMR header cell.
    canvas.DrawLine(ToVector2(x + 95, y + 14), ToVector2(x + 100, y + 4));
    canvas.DrawLine(ToVector2(x + 100, y + 4), ToVector2(x + 105, y + 14));
    canvas.DrawLine(ToVector2(x + 95, y + 14), ToVector2(x + 105, y + 14));

    canvas.SetPosition(Vector2F{x, y + 2});
    canvas.SetColor(230, 230, 230, 255);
    canvas.DrawString(kHeader, 1.0f, 1.0f, false, false);

    float rowTop = y;
    for (std::size_t i = 0; i < 3; ++i) {
        rowTop += kRowPitch;
        canvas.SetPosition(Vector2F{x + 2, rowTop + 2});
        RankLookup rank = LookupRank(rankTables[i], ranks[i], mmr[i]);
        canvas.SetColor(rank.red, rank.green, rank.blue, 255);
        RenderRow(canvas, 1.0f, modeLabels[i] + " ", wins[i], losses[i], deltaMMR[i], std::move(rank.text),
                  rank.toRankUp);
    }

    // Mode 3 ("Other") is counted and logged but not part of the table.
    canvas.SetPosition(Vector2F{x + 2, y + 82});
    canvas.SetColor(0, 200, 0, 255);
    RenderRow(canvas, 1.0f, "Total", wins[0] + wins[1] + wins[2], losses[0] + losses[1] + losses[2],
              deltaMMR[0] + deltaMMR[1] + deltaMMR[2], "-----", 0.0f);
}

void Vantrel::RenderRow(CanvasWrapper canvas, float scale, std::string rowName, int winCount, int lossCount,
                        float mmrChange, std::string rankText, float toRankUp) {
    const Vector2 p = canvas.GetPosition();
    canvas.DrawString(std::move(rowName), scale, scale, false, false);
    const RowTexts& texts = TextsFor(winCount, lossCount, mmrChange, rankText, toRankUp);
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 39), p.Y});
    canvas.DrawString(texts.winLoss, scale, scale, false, false);
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 86), p.Y});
    canvas.DrawString(texts.changeText, scale, scale, false, false);
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 153), p.Y});
    canvas.DrawString(texts.rankColumn, scale, scale, false, false);
}
