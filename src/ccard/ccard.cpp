// The calling card setup.
//
// The dialog edits the calling card block of the parameter record in place (the block reaches
// "sf.dat" with the next save of the parameters). It keeps one invariant on the two positions:
// the first text is never dialled after the number while the second is dialled before it, so
// the dialog offers both before, first before and second after, and both after.
#include "ccard/ccard.h"

#include "frame/frame.h"
#include "qorui.h"
#include "qorwindow.h"

namespace qorsf {

namespace {

// The dialog's state, library-wide as the dialog is modal and single.
struct CcardState {
    uint32_t host = 0;
    CC_SETUP* card = nullptr;
};
CcardState& ccard() {
    static CcardState s;
    return s;
}

constexpr int kCardChars = 25;
constexpr uint16_t kTextSecondEmpty = 2030;
constexpr uint16_t kCaptionSendFax = 2126;

// The first text after the number forces the second after it too (105 cannot be chosen).
void firstChosen(HWND window) {
    if (IsDlgButtonChecked(window, CC_FIRSTAFTER)) {
        CheckRadioButton(window, CC_SECONDBEFORE, CC_SECONDAFTER, CC_SECONDAFTER);
        EnableWindow(GetDlgItem(window, CC_SECONDBEFORE), FALSE);
    } else {
        EnableWindow(GetDlgItem(window, CC_SECONDBEFORE), TRUE);
    }
}

// The second text before the number forces the first before it too (103 cannot be chosen).
void secondChosen(HWND window) {
    if (IsDlgButtonChecked(window, CC_SECONDBEFORE)) {
        CheckRadioButton(window, CC_FIRSTBEFORE, CC_FIRSTAFTER, CC_FIRSTBEFORE);
        EnableWindow(GetDlgItem(window, CC_FIRSTAFTER), FALSE);
    } else {
        EnableWindow(GetDlgItem(window, CC_FIRSTAFTER), TRUE);
    }
}

INT_PTR initDialog(HWND window) {
    const CcardState& s = ccard();
    UX_initdialog(s.host, window);
    CC_SETUP* card = s.card;
    SetDlgItemTextA(window, CC_FIRSTTEXT, card ? card->first : "");
    SetDlgItemTextA(window, CC_SECONDTEXT, card ? card->second : "");
    SendDlgItemMessageA(window, CC_FIRSTTEXT, EM_LIMITTEXT, kCardChars, 0);
    SendDlgItemMessageA(window, CC_SECONDTEXT, EM_LIMITTEXT, kCardChars, 0);
    const bool firstBefore = card && card->firstbefore != 0;
    const bool secondBefore = card && card->secondbefore != 0;
    CheckRadioButton(window, CC_FIRSTBEFORE, CC_FIRSTAFTER, firstBefore ? CC_FIRSTBEFORE : CC_FIRSTAFTER);
    if (IsDlgButtonChecked(window, CC_FIRSTAFTER)) {
        CheckRadioButton(window, CC_SECONDBEFORE, CC_SECONDAFTER, CC_SECONDAFTER);
        EnableWindow(GetDlgItem(window, CC_SECONDBEFORE), FALSE);
    } else {
        EnableWindow(GetDlgItem(window, CC_SECONDBEFORE), TRUE);
        EnableWindow(GetDlgItem(window, CC_SECONDAFTER), TRUE);
        CheckRadioButton(window, CC_SECONDBEFORE, CC_SECONDAFTER, secondBefore ? CC_SECONDBEFORE : CC_SECONDAFTER);
    }
    secondChosen(window);
    return TRUE;  // the focus goes to the first text
}

void confirm(HWND window) {
    const CcardState& s = ccard();
    CC_SETUP* card = s.card;
    if (!card) {
        EndDialog(window, IDCANCEL);
        return;
    }
    // The first text is stored even when the second is refused below: the refusal keeps the
    // dialog open, and the user confirms or cancels from there. An empty second text is refused
    // before it reaches the card, so that a refused OK followed by Cancel cannot leave the card
    // with its second text erased.
    GetDlgItemTextA(window, CC_FIRSTTEXT, card->first, kCardChars + 1);
    char scratch[80] = {};
    GetDlgItemTextA(window, CC_SECONDTEXT, scratch, sizeof scratch);
    if (scratch[0] == '\0') {
        SF_errorbox(s.host, window, kTextSecondEmpty, kCaptionSendFax);
        return;
    }
    UL_strcopy(card->second, scratch);
    card->firstbefore = IsDlgButtonChecked(window, CC_FIRSTBEFORE) ? 1 : 0;
    card->secondbefore = IsDlgButtonChecked(window, CC_SECONDBEFORE) ? 1 : 0;
    EndDialog(window, 0);
}

}  // namespace

INT_PTR WN_sfsetupccard(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const uint32_t host = ccard().host;
    switch (message) {
        case WM_INITDIALOG: return initDialog(window);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case CC_FIRSTBEFORE:
                case CC_FIRSTAFTER:
                    CheckRadioButton(window, CC_FIRSTBEFORE, CC_FIRSTAFTER, LOWORD(wParam));
                    firstChosen(window);
                    return TRUE;
                case CC_SECONDBEFORE:
                case CC_SECONDAFTER:
                    CheckRadioButton(window, CC_SECONDBEFORE, CC_SECONDAFTER, LOWORD(wParam));
                    secondChosen(window);
                    return TRUE;
                case IDOK: confirm(window); return TRUE;
                case IDCANCEL: EndDialog(window, 1); return TRUE;
                case CC_HELP: UT_help(host, window, kCcardHelp); return TRUE;
                default: break;
            }
            break;
        case WM_PAINT: return UX_paintdialog(host, window, 20, 22);
        default: break;
    }
    return UX_defdialog(window, message, wParam, lParam);
}

int16_t SF_setupccard(uint32_t host, HWND owner) {
    SF_PARAMS* p = params();
    if (!p) return SF_WRONGSTATE;
    ccard().host = host;
    ccard().card = &p->ccard;
    int16_t instance = 0;
    if (int16_t st = UL_getvalue(host, 13, &instance)) return st;
    // The exported procedure, so that nothing the dialog does can throw into the window layer.
    const INT_PTR result = DialogBoxParamA(reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instance)),
                                           MAKEINTRESOURCEA(kCcardTemplate), owner, ::WN_sfsetupccard, 0);
    ccard().card = nullptr;
    if (result == -1) return SF_NODIALOG;
    if (result == 0) return 0;
    return SF_CANCELLED;
}

}  // namespace qorsf
