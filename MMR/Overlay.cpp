// The statistics table on the game screen: drawn every frame it is visible, from the
// statistics as they are at that moment. Every text is formatted afresh in each frame;
// the overlay keeps nothing between frames but the scoreboard flag.
#include "Format.h"
#include "Vantrel.h"

namespace {
// Column titles, one string; they line up with the grid as far as the font allows.
const std::string kHeader = "         W  L       MMR    Rank  To Rank up";

constexpr float kRowPitch = 20.0f;
constexpr std::array<float, 6> kRowLines{0, 20, 40, 60, 80, 100};
constexpr std::array<float, 7> kColumnLines{0, 40, 62, 85, 150, 200, 280};
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
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 39), p.Y});
    canvas.DrawString(FormatWinLoss(winCount, lossCount), scale, scale, false, false);
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 86), p.Y});
    canvas.DrawString(FormatChange(mmrChange), scale, scale, false, false);
    canvas.SetPosition(Vector2{SaturatingAdd(p.X, 153), p.Y});
    canvas.DrawString(FormatRankColumn(rankText, toRankUp), scale, scale, false, false);
}
