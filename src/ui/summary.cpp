#include "ui/summary.h"

#include <cstring>

#include "convert/strings.h"

namespace {

// Appends to the summary being built; once something did not fit,
// everything after is refused too and the summary counts as not written.
struct SummaryWriter {
    WideChar* out;
    size_t size; // the terminator not counted
    size_t used;
    bool ok;

    void Text(const WideChar* text)
    {
        for (size_t i = 0; text[i] != 0 && ok; ++i)
            Unit(text[i]);
    }
    // ASCII, as the digits and the time stamp are.
    void Ascii(const char* text, size_t length)
    {
        for (size_t i = 0; i < length && ok; ++i)
            Unit(static_cast<WideChar>(static_cast<unsigned char>(text[i])));
    }
    void Number(unsigned long value)
    {
        char digits[DECIMAL_BUFFER_SIZE];
        FormatDecimal(static_cast<long long>(value), digits);
        Ascii(digits, strlen(digits));
    }
    void Unit(WideChar unit)
    {
        if (used == size) {
            ok = false;
            return;
        }
        out[used++] = unit;
    }
    void End() { out[ok ? used : 0] = 0; }
};

}  // namespace

const WideChar* ReasonText(HistoryReason reason)
{
    static const WideChar* const TEXTS[REASON_COUNT] = {
        WIDE("同じ名前がある"),
        WIDE("使用中か権限なし"),
        WIDE("見つからない"),
        WIDE("名前が長すぎる"),
        WIDE("その他のエラー"),
    };
    return TEXTS[reason < REASON_COUNT ? reason : REASON_OTHER_ERROR];
}

void FormatHistorySummary(const HistoryBatch* batch, WideChar* out, size_t size)
{
    if (size == 0)
        return;
    SummaryWriter line = {out, size - 1, 0, true};
    if (batch == nullptr) {
        line.Text(WIDE("履歴はありません。"));
        line.End();
        return;
    }
    // The date and time as the batch line has them, 2026-12-09 14:05:31,
    // and （中断） when the batch was stopped before its end.
    char head[64];
    const size_t stamp = FormatBatchLine("x", batch->when, 0, head, sizeof head);
    const size_t skip = strlen("batch\tx\t");
    line.Ascii(head + skip, stamp > skip + 19 ? 19 : 0);
    if (!batch->ended)
        line.Text(WIDE("（中断）"));
    line.Text(WIDE("\r\n名前を変更: "));
    line.Number(batch->renamed);
    line.Text(WIDE(" 件"));
    if (batch->failed != 0) {
        line.Text(WIDE("\r\n失敗: "));
        line.Number(batch->failed);
        line.Text(WIDE(" 件（主に"));
        int common = 0;
        for (int r = 1; r < REASON_COUNT; ++r) {
            if (batch->reasons[r] > batch->reasons[common])
                common = r;
        }
        line.Text(ReasonText(static_cast<HistoryReason>(common)));
        line.Text(WIDE("）"));
    }
    line.End();
}
