// The player as the reader threads of one message reach it. Each call is made
// under a lock, and Detach waits for a call in progress: once it has returned
// no reader reaches the player any more, however long the readers still run.
#pragma once
#include <windows.h>

class CPlaybackListener;

class CListenerLink {
public:
    explicit CListenerLink(CPlaybackListener* player);
    ~CListenerLink();
    CListenerLink(const CListenerLink&) = delete;
    CListenerLink& operator=(const CListenerLink&) = delete;

    void Detach();
    // Passed on to the player while one is attached.
    void SetStopped();
    void ClearSeekPending();

private:
    CRITICAL_SECTION lock_;
    CPlaybackListener* player_;  // under lock_
};
