// qorfax ccard: shows the calling card settings, and changes them by driving the calling card
// dialog as a user would (typing the texts, clicking the radio buttons, pressing OK), so that
// the dialog's own rules decide what is stored.
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <string>

#include "ccard/ccard.h"
#include "commands.h"
#include "frame/frame.h"
#include "host.h"
#include "qorsf.h"
#include "qorui.h"
#include "qorwinuser.h"
#include "ui.h"

namespace qorfax {
namespace {

const char* kHelp =
    "usage: qorfax ccard\n"
    "       qorfax ccard show\n"
    "       qorfax ccard set [--first TEXT] [--second TEXT] [--first-after] [--second-after]\n"
    "\n"
    "Opens the calling card dialog for a person at the terminal (or for a script with\n"
    "--ui script), then shows the calling card: the two texts dialled with every number and\n"
    "whether each is dialled before or after the number. Without a terminal (or with --ui\n"
    "console) and with 'show' it only shows the calling card. 'set' fills in the calling card dialog as a user\n"
    "would: it types the texts given (at most 25 characters each), chooses before the number\n"
    "for each text unless --first-after or --second-after is given, and presses OK. The\n"
    "dialog's rules apply: the second text cannot be empty, and the first text cannot be\n"
    "dialled after the number while the second is dialled before it.\n";

// The user of the dialog: the console's messages, and the actions of the command line.
class CommandUser : public qorui::ConsoleDriver {
public:
    using Action = std::function<bool(HWND)>;
    // `refused`: what the user is told when the dialog does not let the action be done (its
    // control is disabled by the dialog's rules), in the words of the command line.
    void add(std::string what, Action a, std::string refused = "") {
        actions_.push_back({std::move(what), std::move(a), std::move(refused)});
    }
    bool userAction(HWND dialog) override {
        if (actions_.empty()) return false;  // nothing left to do: the dialog is cancelled
        Step s = std::move(actions_.front());
        actions_.pop_front();
        if (!s.action(dialog)) {
            if (!s.refused.empty())
                std::fprintf(stderr, "qorfax: ccard set: %s\n", s.refused.c_str());
            else
                std::fprintf(stderr, "qorfax: ccard set: %s failed: %s\n", s.what.c_str(), qorwin::lastError().c_str());
            actions_.clear();
        }
        return true;
    }
    void failed(const std::string&) override {}

private:
    struct Step {
        std::string what;
        Action action;
        std::string refused;
    };
    std::deque<Step> actions_;
};

const char* position(uint32_t before) { return before ? "(before the number)" : "(after the number)"; }

int show() {
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    const SF_PARAMS* p = qorsf::params();
    std::printf("%-22s %s %s\n", "first text", p->ccard.first, position(p->ccard.firstbefore));
    std::printf("%-22s %s %s\n", "second text", p->ccard.second, position(p->ccard.secondbefore));
    std::printf("%-22s %s\n", "in use", p->ccardinuse ? "yes" : "no");
    return kExitOk;
}

// The calling card dialog for its user (a person at the terminal, or a script), then the result.
int edit() {
    int16_t st = 0;
    {
        DialogUser user;
        if (!user.interactive()) return show();
        Host host;
        if (int16_t s = host.open()) {
            user.finish();
            return fail(s, "the library cannot be opened");
        }
        st = SF_setupccard(host.handle(), nullptr);
        user.finish();
        host.close();  // the parameters are saved when the library closes
    }
    if (st == SF_CANCELLED) {
        std::fprintf(stderr, "qorfax: ccard: cancelled, the calling card is unchanged\n");
        return kExitFailed;
    }
    if (st) return fail(st, "the calling card dialog");
    return show();
}

int set(const Args& args) {
    bool haveFirst = false, haveSecond = false, firstAfter = false, secondAfter = false;
    std::string first, second;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--first" || a == "--second") && i + 1 < args.size()) {
            (a == "--first" ? first : second) = args[++i];
            (a == "--first" ? haveFirst : haveSecond) = true;
        } else if (a == "--first-after") {
            firstAfter = true;
        } else if (a == "--second-after") {
            secondAfter = true;
        } else {
            return usage(kHelp, "ccard set: unknown or incomplete option " + a);
        }
    }
    Host host;
    if (int16_t st = host.open()) return fail(st, "the library cannot be opened");
    CommandUser user;
    if (haveFirst)
        user.add("typing the first text", [&](HWND d) { return qorwin::type(d, qorsf::CC_FIRSTTEXT, first); });
    if (haveSecond)
        user.add("typing the second text", [&](HWND d) { return qorwin::type(d, qorsf::CC_SECONDTEXT, second); });
    // As a person does: a choice that frees the other first (the second after the number frees
    // the first's "after"; the first before frees the second's "before"), then the other.
    // The dialog's rule: while the second text comes before the number the first cannot follow
    // it, and while the first follows it the second cannot come before it.
    auto chooseFirst = [&] {
        user.add(firstAfter ? "choosing the first text after the number" : "choosing the first text before the number",
                 [&](HWND d) { return qorwin::click(d, firstAfter ? qorsf::CC_FIRSTAFTER : qorsf::CC_FIRSTBEFORE); },
                 firstAfter ? "the first text cannot follow the number while the second text comes before it "
                              "(give --second-after too)"
                            : "");
    };
    auto chooseSecond = [&] {
        user.add(secondAfter ? "choosing the second text after the number" : "choosing the second text before the number",
                 [&](HWND d) { return qorwin::click(d, secondAfter ? qorsf::CC_SECONDAFTER : qorsf::CC_SECONDBEFORE); },
                 secondAfter ? "" : "the second text cannot come before the number while the first text follows it "
                                    "(give --second-after, or leave out --first-after)");
    };
    if (secondAfter) {
        chooseSecond();
        chooseFirst();
    } else {
        chooseFirst();
        chooseSecond();
    }
    user.add("pressing OK", [](HWND d) { return qorwin::click(d, IDOK); });
    int16_t st = 0;
    {
        DialogUser installed(&user, true);
        st = SF_setupccard(host.handle(), nullptr);
    }
    if (st == SF_CANCELLED) {
        std::fprintf(stderr, "qorfax: ccard set: the calling card was not changed\n");
        return kExitFailed;
    }
    if (st) return fail(st, "the calling card dialog");
    const SF_PARAMS* p = qorsf::params();
    if (haveFirst && first != p->ccard.first)
        std::fprintf(stderr, "qorfax: ccard set: the first text was cut to 25 characters\n");
    if (haveSecond && second != p->ccard.second)
        std::fprintf(stderr, "qorfax: ccard set: the second text was cut to 25 characters\n");
    return kExitOk;  // the parameters are saved when the library closes
}

int run(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.empty()) return edit();
    if (args[0] == "show" && args.size() == 1) return show();
    if (args[0] == "set") return set(Args(args.begin() + 1, args.end()));
    return usage(kHelp, "ccard: unknown subcommand " + args[0]);
}

Registration registration{{"ccard",
                           "  ccard [show | set ...]       the calling card dialog; show or change the calling card\n",
                           kHelp, run}};

}  // namespace
}  // namespace qorfax
