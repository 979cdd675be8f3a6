// The schedule fields of the send dialog: three date fields and three time fields, each stepped
// by its spin control while it has the focus, the two-digit year read in a window of the current
// year and the 99 after it, days per month with the Gregorian leap years, typed values clamped to
// their field's range when the field is left, and the fields following the library's clock while
// "send as soon as possible" is checked.
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "frame/frame.h"
#include "send/dialogs/senddlg.h"

namespace qorsf {

namespace {

struct Conventions {
    bool fixed = false;
    int16_t order = 2;
    char datesep[8] = "/";
    char timesep[8] = ":";
};
Conventions& conventions() {
    static Conventions c;
    return c;
}

ScheduleState& sched() { return senddialog().schedule; }

// The host's date conventions: the order of day, month and year and the separators of the
// user's time locale (LC_ALL, LC_TIME or LANG), read without changing the process's locale.
// false when the locale cannot be had: the caller keeps year/month/day, "/" and ":".
bool hostConventions(int16_t* order, std::string* datesep, std::string* timesep) {
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc) return false;
    const std::string date = nl_langinfo_l(D_FMT, loc);
    const std::string time = nl_langinfo_l(T_FMT, loc);
    freelocale(loc);
    // The order of the first day, month and year conversions; the separator is what stands
    // between the first two.
    std::string kinds, sep;
    for (std::size_t i = 0; i + 1 < date.size(); ++i) {
        if (date[i] != '%') {
            if (kinds.size() == 1 && sep.empty()) sep = date[i];
            continue;
        }
        char c = date[++i];
        if (c == '-' || c == '_' || c == '0') {
            if (i + 1 >= date.size()) break;
            c = date[++i];
        }
        if (c == 'd' || c == 'e') kinds += 'd';
        if (c == 'm' || c == 'b' || c == 'B') kinds += 'm';
        if (c == 'y' || c == 'Y') kinds += 'y';
        if (c == 'D') kinds += "mdy", sep = "/";
        if (c == 'F') kinds += "ymd", sep = "-";
    }
    if (kinds.rfind("mdy", 0) == 0)
        *order = 0;
    else if (kinds.rfind("dmy", 0) == 0)
        *order = 1;
    else if (kinds.rfind("ymd", 0) == 0)
        *order = 2;
    else
        return false;
    *datesep = sep.empty() ? "/" : sep;
    *timesep = ":";
    for (std::size_t i = 0; i + 2 < time.size(); ++i)
        if (time[i] == '%' && (time[i + 1] == 'H' || time[i + 1] == 'I')) {
            if (time[i + 2] != '%') *timesep = std::string(1, time[i + 2]);
            break;
        }
    return true;
}

uint32_t fieldNumber(HWND window, int id) {
    BOOL ok = FALSE;
    return GetDlgItemInt(window, id, &ok, FALSE);
}

void setRange(HWND window, int spin, int low, int high) {
    SendDlgItemMessageA(window, spin, SPM_SETRANGE, 0, MAKELPARAM(low, high));
}
void setPos(HWND window, int spin, int pos) { SendDlgItemMessageA(window, spin, SPM_SETPOS, static_cast<WPARAM>(pos), 0); }
void range(HWND window, int spin, int* low, int* high) {
    const LRESULT r = SendDlgItemMessageA(window, spin, SPM_GETRANGE, 0, 0);
    *low = static_cast<int16_t>(LOWORD(r));
    *high = static_cast<int16_t>(HIWORD(r));
}
int position(HWND window, int spin) { return static_cast<int16_t>(SendDlgItemMessageA(window, spin, SPM_GETPOS, 0, 0)); }

void repaint(HWND window, int id) {
    HWND c = GetDlgItem(window, id);
    InvalidateRect(c, nullptr, TRUE);
    UpdateWindow(c);
}

int16_t* timePart(SF_DATETIME& dt, int id) {
    if (id == SD_HOUR) return &dt.hour;
    if (id == SD_MINUTE) return &dt.minute;
    if (id == SD_SECOND) return &dt.second;
    return nullptr;
}

// A part of the dialog's date (kind 0 day, 1 month, 2 year) takes a value, and its field shows
// it: two digits, for the year its last two.
void setDatePart(uint32_t host, HWND w, int kind, int32_t value) {
    ScheduleState& s = sched();
    int16_t* part = kind == 0 ? &s.now.day : kind == 1 ? &s.now.month : &s.now.year;
    *part = static_cast<int16_t>(value);
    SF_showfield(host, w, SF_datefieldid(kind), value, kind == 2 ? 0 : 100, 2);
}

// The year the year field stands for. Two digits name a year of the window; the one year they
// cannot name (100 years on, the top of the year spin) is kept when the dialog's year has them.
int32_t yearShown(uint32_t host, HWND w) {
    const int id = SF_datefieldid(2);
    const int32_t year = SF_yearfromfield(host, w, id);
    const int32_t kept = sched().now.year;
    return kept > year && static_cast<int32_t>(fieldNumber(w, id)) == kept % 100 ? kept : year;
}

void dateFocusLost(uint32_t host, HWND w, int id) {
    ScheduleState& s = sched();
    if (!s.dateEdited) return;
    int low = 0, high = 0;
    range(w, SD_DATESPIN, &low, &high);
    const int v = std::clamp(static_cast<int>(std::min<uint32_t>(fieldNumber(w, id), 0x7FFF)), low, high);
    const int kind = SF_datefieldkind(id);
    if (kind < 0) return;
    // The year is read as typed, in the window of the current year.
    setDatePart(host, w, kind, kind == 2 ? yearShown(host, w) : v);
    setPos(w, SD_DATESPIN, v);
    SF_setdatespinrange(host, w, &s.now);
}

void timeFocusLost(uint32_t host, HWND w, int id) {
    ScheduleState& s = sched();
    if (!s.timeEdited) return;
    int low = 0, high = 0;
    range(w, SD_TIMESPIN, &low, &high);
    const int v = std::clamp(static_cast<int>(std::min<uint32_t>(fieldNumber(w, id), 0x7FFF)), low, high);
    if (int16_t* part = timePart(s.now, id)) *part = static_cast<int16_t>(v);
    // The second keeps what was typed in its field; hour and minute are written again.
    if (id != SD_SECOND) SF_showfield(host, w, id, v, 100, 2);
    setPos(w, SD_TIMESPIN, v);
}

void timeSpin(uint32_t host, HWND w) {
    ScheduleState& s = sched();
    if (s.focustime == 0) {
        // The first step before any time field had the focus steps the minute; only the range
        // is set, so that the step the user just made counts.
        s.focustime = SD_MINUTE;
        setRange(w, SD_TIMESPIN, 0, 59);
    }
    const int id = s.focustime;
    const int pos = position(w, SD_TIMESPIN);
    if (static_cast<int>(fieldNumber(w, id)) == pos) return;
    if (int16_t* part = timePart(s.now, id)) *part = static_cast<int16_t>(pos);
    SF_showfield(host, w, id, pos, 100, 2);
    repaint(w, id);
}

void dateSpin(uint32_t host, HWND w) {
    ScheduleState& s = sched();
    if (s.focusdate == 0) {
        s.focusdate = SF_datefieldid(0);
        setRange(w, SD_DATESPIN, 1, SF_daysinmonth(s.now.year, s.now.month));
    }
    const int id = s.focusdate;
    const int pos = position(w, SD_DATESPIN);
    const int kind = SF_datefieldkind(id);
    const int shown = static_cast<int>(fieldNumber(w, id));
    if (kind == 2 ? shown == (s.century + s.baseyear + pos) % 100 : shown == pos) return;
    if (kind < 0) return;
    setDatePart(host, w, kind, kind == 2 ? s.century + s.baseyear + pos : pos);
    repaint(w, id);
    if (kind != 0) SF_checkdayofmonth(host, w, &s.now);
}

}  // namespace

void SF_setdateconventions(int16_t order, const char* datesep, const char* timesep) {
    Conventions& c = conventions();
    c.fixed = order >= 0 && order <= 2;
    c.order = c.fixed ? order : 2;
    UL_strcopy(c.datesep, datesep ? datesep : "/");
    UL_strcopy(c.timesep, timesep ? timesep : ":");
}

int SF_daysinmonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

int SF_datefieldid(int kind) {
    // Which field holds what, by date order: 0 month/day/year, 1 day/month/year, 2 year/month/day.
    static const int ids[3][3] = {
        {SD_DATE2, SD_DATE1, SD_DATE3},  // day, month, year
        {SD_DATE1, SD_DATE2, SD_DATE3},
        {SD_DATE3, SD_DATE2, SD_DATE1},
    };
    const int order = std::clamp<int>(sched().dateorder, 0, 2);
    return kind >= 0 && kind <= 2 ? ids[order][kind] : 0;
}

int SF_datefieldkind(int id) {
    for (int kind = 0; kind < 3; ++kind)
        if (SF_datefieldid(kind) == id) return kind;
    return -1;
}

int16_t SF_getdateformat(uint32_t) {
    ScheduleState& s = sched();
    SF_DATETIME now{};
    UL_now(&now);
    s.century = 100 * (now.year / 100);
    s.baseyear = now.year % 100;
    const Conventions& c = conventions();
    int16_t order = 2;
    std::string datesep = "/", timesep = ":";
    if (c.fixed) {
        order = c.order;
        datesep = c.datesep;
        timesep = c.timesep;
    } else if (!hostConventions(&order, &datesep, &timesep)) {
        order = 2;
        datesep = "/";
        timesep = ":";
    }
    s.dateorder = order;
    UL_strcopy(s.datesep, datesep.c_str());
    UL_strcopy(s.timesep, timesep.c_str());
    return 0;
}

void SF_showfield(uint32_t, HWND window, int id, int32_t value, int32_t add, std::size_t width) {
    std::string text = std::to_string(static_cast<long>(value) + add);
    if (text.size() > width) text = text.substr(text.size() - width);
    SetDlgItemTextA(window, id, text.c_str());
}

int32_t SF_yearfromfield(uint32_t, HWND window, int id) {
    const ScheduleState& s = sched();
    const uint32_t v = fieldNumber(window, id);
    // A two-digit year is never before the current year.
    return static_cast<int32_t>(v) < s.baseyear ? s.century + 100 + static_cast<int32_t>(v) : s.century + static_cast<int32_t>(v);
}

int16_t SF_checkdayofmonth(uint32_t host, HWND window, SF_DATETIME* dt) {
    if (!dt) return UL_E_BADARG;
    const int days = SF_daysinmonth(dt->year, dt->month);
    if (dt->day > days) {
        sched().dayCorrected = true;
        SF_showfield(host, window, SF_datefieldid(0), days, 100, 2);
        dt->day = static_cast<int16_t>(days);
    }
    return 0;
}

int16_t SF_setdatespinrange(uint32_t host, HWND window, SF_DATETIME* dt) {
    if (!dt) return UL_E_BADARG;
    const ScheduleState& s = sched();
    switch (SF_datefieldkind(s.focusdate)) {
        case 0:
            setRange(window, SD_DATESPIN, 1, SF_daysinmonth(dt->year, dt->month));
            setPos(window, SD_DATESPIN, dt->day);
            break;
        case 1:
            setRange(window, SD_DATESPIN, 1, 12);
            setPos(window, SD_DATESPIN, dt->month);
            break;
        case 2:
            setRange(window, SD_DATESPIN, 0, 100);
            setPos(window, SD_DATESPIN, dt->year - s.baseyear - s.century);
            break;
        default: break;
    }
    return SF_checkdayofmonth(host, window, dt);
}

int16_t SF_settimespinrange(uint32_t, HWND window, SF_DATETIME* dt) {
    if (!dt) return UL_E_BADARG;
    switch (sched().focustime) {
        case SD_HOUR:
            setRange(window, SD_TIMESPIN, 0, 23);
            setPos(window, SD_TIMESPIN, dt->hour);
            break;
        case SD_MINUTE:
            setRange(window, SD_TIMESPIN, 0, 59);
            setPos(window, SD_TIMESPIN, dt->minute);
            break;
        case SD_SECOND:
            setRange(window, SD_TIMESPIN, 0, 59);
            setPos(window, SD_TIMESPIN, dt->second);
            break;
        default: break;
    }
    return 0;
}

int16_t SF_showdatetime(uint32_t host, HWND window, const SF_DATETIME* given) {
    if (!given) return UL_E_BADARG;
    const ScheduleState& s = sched();
    // What the fields hold now.
    SF_DATETIME fields{};
    fields.year = static_cast<int16_t>(SF_yearfromfield(host, window, SF_datefieldid(2)));
    fields.month = static_cast<int16_t>(fieldNumber(window, SF_datefieldid(1)));
    fields.day = static_cast<int16_t>(fieldNumber(window, SF_datefieldid(0)));
    fields.hour = static_cast<int16_t>(fieldNumber(window, SD_HOUR));
    fields.minute = static_cast<int16_t>(fieldNumber(window, SD_MINUTE));
    fields.second = static_cast<int16_t>(fieldNumber(window, SD_SECOND));
    const bool all = given->year == -1;  // re-format what the fields hold
    const SF_DATETIME dt = all ? fields : *given;
    if (!s.dateEdited) {
        if (all || dt.year != fields.year) SF_showfield(host, window, SF_datefieldid(2), dt.year, 0, 2);
        if (all || dt.month != fields.month) SF_showfield(host, window, SF_datefieldid(1), dt.month, 100, 2);
        if (all || dt.day != fields.day) SF_showfield(host, window, SF_datefieldid(0), dt.day, 100, 2);
    }
    if (!s.timeEdited) {
        if (all || dt.hour != fields.hour) SF_showfield(host, window, SD_HOUR, dt.hour, 100, 2);
        if (all || dt.minute != fields.minute) SF_showfield(host, window, SD_MINUTE, dt.minute, 100, 2);
        if (all || dt.second != fields.second) SF_showfield(host, window, SD_SECOND, dt.second, 100, 2);
    }
    return 0;
}

int16_t SF_readdatetime(uint32_t host, HWND window, SF_DATETIME* dt) {
    if (!dt) return UL_E_BADARG;
    dt->year = static_cast<int16_t>(yearShown(host, window));
    dt->month = static_cast<int16_t>(fieldNumber(window, SF_datefieldid(1)));
    dt->day = static_cast<int16_t>(fieldNumber(window, SF_datefieldid(0)));
    dt->hour = static_cast<int16_t>(fieldNumber(window, SD_HOUR));
    dt->minute = static_cast<int16_t>(fieldNumber(window, SD_MINUTE));
    dt->second = static_cast<int16_t>(fieldNumber(window, SD_SECOND));
    return 0;
}

int16_t SF_checkdatetime(uint32_t, HWND window, bool enable) {
    for (int id : {SD_HOUR, SD_MINUTE, SD_SECOND, SD_TIMESPIN, SD_DATE1, SD_DATE2, SD_DATE3, SD_DATESPIN})
        EnableWindow(GetDlgItem(window, id), enable ? TRUE : FALSE);
    return 0;
}

void SF_setupschedule(uint32_t host, HWND window) {
    ScheduleState& s = sched();
    SF_getdateformat(host);
    for (int id : {SD_DATE1, SD_DATE2, SD_DATE3, SD_HOUR, SD_MINUTE, SD_SECOND})
        SendDlgItemMessageA(window, id, EM_LIMITTEXT, 2, 0);
    // The date spin starts on the day field, the time spin on the minute field.
    s.focusdate = SF_datefieldid(0);
    SF_setdatespinrange(host, window, &s.now);
    s.focustime = SD_MINUTE;
    SF_settimespinrange(host, window, &s.now);
}

bool SF_schedulecommand(uint32_t host, HWND w, int id, int code) {
    ScheduleState& s = sched();
    switch (id) {
        case SD_DATE1:
        case SD_DATE2:
        case SD_DATE3:
            if (code == EN_SETFOCUS) {
                s.focusdate = id;
                SF_setdatespinrange(host, w, &s.now);
            } else if (code == EN_CHANGE) {
                if (s.focusdate == 0) break;
                if (id == SF_datefieldid(0) && s.dayCorrected) {
                    s.dayCorrected = false;  // the program's own correction of the day
                    break;
                }
                s.dateEdited = true;
            } else if (code == EN_KILLFOCUS) {
                dateFocusLost(host, w, id);
            }
            return true;
        case SD_HOUR:
        case SD_MINUTE:
        case SD_SECOND:
            if (code == EN_SETFOCUS) {
                s.focustime = id;
                SendDlgItemMessageA(w, id, EM_SETSEL, 0, static_cast<LPARAM>(-1));
                SF_settimespinrange(host, w, &s.now);
            } else if (code == EN_CHANGE) {
                if (s.focustime != 0) s.timeEdited = true;
            } else if (code == EN_KILLFOCUS) {
                timeFocusLost(host, w, id);
            }
            return true;
        case SD_TIMESPIN:
            if (code == SPN_CHANGE) timeSpin(host, w);
            return true;
        case SD_DATESPIN:
            if (code == SPN_CHANGE) dateSpin(host, w);
            return true;
        default: return false;
    }
    return true;  // a notification the field does not act on
}

}  // namespace qorsf
