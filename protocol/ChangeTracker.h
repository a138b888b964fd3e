// What the client knows of changes on the server that it has not loaded
// yet: the outcome of the background checks of the data sets' versions
// against the versions the store was loaded at, and when the next check may
// go out. Plain logic on the user-interface thread; the checks themselves run
// elsewhere (VersionCheck) and report back here.
#pragma once

#include <cstdint>

class ChangeTracker {
public:
    // At most one check per this many milliseconds.
    static constexpr uint32_t kCheckIntervalMs = 30000;
    // A check that reports later than this after the person came back no
    // longer refreshes by itself (they may be at work by then).
    static constexpr uint32_t kComeBackWindowMs = 5000;
    // A check that has not reported after this long is taken as lost.
    static constexpr uint32_t kLostCheckMs = 120000;

    // Whether a check may go out at `now` (milliseconds of a wrapping tick
    // count): none is running (or the one running is lost) and none went out
    // in the last interval.
    bool MayCheck(uint32_t now) const;
    // No check before an interval from `now` (the first load has just
    // brought the versions).
    void WaitFrom(uint32_t now);
    // A check goes out at `now`; returns the ticket it reports back with.
    uint32_t CheckStarted(uint32_t now);
    // The check `ticket` has ended with the server's versions of data sets
    // 1 to 3, or with null when it failed (no server, a server that does not
    // know the request). `loaded` holds the versions the store's sets were
    // loaded at (-1: the server announced none). A check that a load or a
    // change of this client's own has overtaken is not believed: it may
    // count this client's own change as someone else's. Returns whether
    // Changed() moved.
    bool CheckEnded(uint32_t ticket, const int64_t* versions, const int64_t (&loaded)[3]);

    // A load begins or a change of this client's own is sent: no check in
    // flight is believed, nor any check until the next load has ended.
    void LoadStarted();
    void ChangeSent();
    // A load of the data sets in `mask` (LOAD_ bits) has ended: they now
    // show what the server holds. Returns whether Changed() moved.
    bool LoadFinished(uint32_t mask);

    // LOAD_ bits of the data sets that someone else changed since they were
    // loaded; 0 when nothing is known to have changed.
    uint32_t Changed() const { return changed_; }
    bool Notice() const { return changed_ != 0; }
    // The load that brings the changed data sets up to date: a genre renamed
    // or deleted also changes the names the schedules carry.
    uint32_t RefreshMask() const;

    enum class ComeBack { kNothing, kRefresh, kCheck };
    // The person came back to the window at `now`: refresh at once when a
    // change is known, else check at once if a check may go out (and
    // RefreshAfterCheck tells whether its outcome should refresh).
    ComeBack CameBack(uint32_t now);
    // After CheckEnded: whether the check went out because the person came
    // back, reported within the window, and found changes. Asked once.
    bool RefreshAfterCheck(uint32_t now);

private:
    uint32_t changed_ = 0;
    uint32_t ticket_ = 0;          // of the check in flight, if any
    bool checking_ = false;
    bool believe_ = true;          // false from an own change to the next load's end
    bool everChecked_ = false;
    uint32_t lastCheck_ = 0;       // when the last check went out
    bool comeBackPending_ = false;  // the next check goes out on coming back
    bool comeBackCheck_ = false;    // the check in flight went out on coming back
    uint32_t cameBackAt_ = 0;
    bool refreshPending_ = false;  // that check found changes in time
};
