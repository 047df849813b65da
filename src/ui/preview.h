// The dialog's preview: a fixed sample converted as the buttons say. No
// Windows header here; the dialog reads its buttons into a settings word and
// hands it to these.
#pragma once

#include <cstddef>

#include "settings/settings.h"

// "Ｑｕｉｂ ver ２.004　製作.見本文字" (34 bytes): full- and half-width
// letters, both kinds of blank, digits of both widths and kanji, so every
// conversion shows.
extern const char PREVIEW_SAMPLE[];

// "ﾃﾞｰﾀ ハ゛ックアップ" (19 bytes): half-width ﾃﾞｰﾀ, a blank, then バ written as
// ハ and a separate ゛, as lossy conversions leave it, so the katakana
// options and the join show.
extern const char KANA_PREVIEW_SAMPLE[];

// Room for the preview. The widest choice (digits and letters to full width)
// grows the sample by six bytes, to 40.
constexpr size_t PREVIEW_BUFFER_SIZE = 50;

// Fills buffer (PREVIEW_BUFFER_SIZE bytes, zero-filled past the text) with
// the sample converted under buttons, the word the dialog's buttons show.
// This is the batch pipeline itself, so the preview shows exactly what a
// rename under that word would do: sub-options count only under a checked
// parent. Returns false, with the unchanged sample in buffer, if the result
// would not fit.
bool MakePreview(SettingsWord buttons, char* buffer);

// The same for the katakana sample.
bool MakeKanaPreview(SettingsWord buttons, char* buffer);

// The option bits whose buttons are enabled when the buttons show buttons:
// the four parents, the join and a folder's contents always; digit, letter
// and katakana sub-options only while their parent is checked.
SettingsWord EnabledOptions(SettingsWord buttons);
