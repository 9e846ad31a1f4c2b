#include "playback/CListenerLink.h"

#include "app/ScopedWin.h"
#include "playback/CPlaybackListener.h"

CListenerLink::CListenerLink(CPlaybackListener* player) : player_(player) { InitializeCriticalSection(&lock_); }

CListenerLink::~CListenerLink() { DeleteCriticalSection(&lock_); }

void CListenerLink::Detach()
{
    ScopedCritSec hold(&lock_);
    player_ = nullptr;
}

void CListenerLink::SetStopped()
{
    ScopedCritSec hold(&lock_);
    if (player_)
        player_->SetStopped();
}

void CListenerLink::ClearSeekPending()
{
    ScopedCritSec hold(&lock_);
    if (player_)
        player_->ClearSeekPending();
}
