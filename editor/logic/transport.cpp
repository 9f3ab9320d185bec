#include "transport.h"

bool IsSpeed(long percent)
{
    for (int s : kSpeeds)
        if (s == percent)
            return true;
    return false;
}

long LeadStamp(long positionMs, long leadMs, int speedPercent)
{
    long long t = positionMs - static_cast<long long>(leadMs) * speedPercent / 100;
    return t < 0 ? 0 : static_cast<long>(t);
}

double RestoredVolume(double saved)
{
    return saved <= 0.001 ? 1.0 : saved;
}

// --- The stopwatch ----------------------------------------------------------------

void Stopwatch::Reset()
{
    base = 0;
    running = false;
}

void Stopwatch::Start(long trackMs, long now)
{
    base = trackMs;
    since = now;
    running = true;
}

void Stopwatch::Pause(long now)
{
    base = Time(now);
    running = false;
}

void Stopwatch::SetSpeed(int percent, long now)
{
    if (running) {
        base = Time(now);
        since = now;
    }
    speed = percent;
}

long Stopwatch::Time(long now) const
{
    if (!running)
        return base;
    return base + static_cast<long>(static_cast<long long>(now - since) * speed / 100);
}

// --- The transport ----------------------------------------------------------------

Controls Transport::EnabledControls() const
{
    switch (phase) {
    case Phase::NoTrack:
    case Phase::Unplayable:
        return {false, false, false, false};
    case Phase::Measuring:
        // A Play pressed now is kept; Pause takes it back.
        return {!playWanted, playWanted, false, false};
    case Phase::Playing:
        return {false, true, false, true};
    case Phase::Stopped:
    case Phase::Paused:
    case Phase::AtEnd:
        break;
    }
    return {true, false, true, true};
}

long Transport::Position(long now, long tellMs) const
{
    if (stopwatchOption)
        return stopwatch.Time(now);
    if (phase == Phase::Playing && !begun)
        return playStart;
    return tellMs;
}

TransportActions Transport::SetSpeed(int percent, long now)
{
    TransportActions a;
    if (!IsSpeed(percent))
        return a;
    stopwatch.SetSpeed(percent, now);
    speed = percent;
    a.rate = phase == Phase::Playing;
    return a;
}

void Transport::ResetTrack(Phase to)
{
    phase = to;
    length = 0;
    stopwatch.Reset();
    sliderMoved = false;
    playStart = 0;
    loaded = muted = measureBegun = playWanted = false;
    begun = stoppedSeen = seekedAgain = false;
}

TransportActions Transport::Open()
{
    TransportActions a;
    a.unmute = muted;
    a.atZero = true;   // the slider still tells the last track's place
    ResetTrack(Phase::Measuring);
    return a;
}

TransportActions Transport::Reload()
{
    TransportActions a;
    if (phase == Phase::NoTrack)
        return Open();
    if (phase == Phase::Measuring) {
        a.unmute = muted;
        loaded = muted = measureBegun = false;
    }
    return a;
}

TransportActions Transport::Close()
{
    TransportActions a;
    a.stop = phase != Phase::NoTrack;
    a.unmute = muted;
    ResetTrack(Phase::NoTrack);
    return a;
}

void Transport::LearnLength(long lengthMs, TransportActions& a)
{
    if (length > 0 || lengthMs <= 0)
        return;
    length = lengthMs;
    a.lengthKnown = true;
}

TransportActions Transport::StartAt(long now, long startMs)
{
    TransportActions a;
    if (startMs < 0)
        startMs = 0;
    switch (phase) {
    case Phase::NoTrack:
    case Phase::Unplayable:
        return a;
    case Phase::Measuring:
        if (!measureBegun) {
            // Kept until the muted start has begun.
            playWanted = true;
            wantedStart = startMs;
            return a;
        }
        break;
    case Phase::Stopped:
    case Phase::Playing:
    case Phase::Paused:
    case Phase::AtEnd:
        break;
    }
    // The media already plays when the muted start is taken over or a
    // playing track starts again elsewhere: its position is good at once.
    begun = phase == Phase::Measuring || phase == Phase::Playing;
    a.unmute = muted;
    muted = false;
    a.rate = true;
    a.seek = startMs;
    a.play = true;
    a.started = true;
    a.showPosition = true;
    playStart = startMs;
    stopwatch.Start(startMs, now);
    phase = Phase::Playing;
    sliderMoved = false;
    measureBegun = playWanted = false;
    stoppedSeen = seekedAgain = false;
    return a;
}

TransportActions Transport::Play(long now, long sliderMs)
{
    long start = sliderMs;
    if (sliderMoved)
        start = 0;
    else if (stopwatchOption)
        start = stopwatch.Time(now);
    return StartAt(now, start);
}

TransportActions Transport::PlayFrom(long now, long startMs)
{
    return StartAt(now, startMs);
}

TransportActions Transport::EndPlayback(long now, Phase to)
{
    TransportActions a;
    a.ended = true;
    a.showPosition = true;
    stopwatch.Pause(now);
    phase = to;
    begun = false;
    return a;
}

TransportActions Transport::Pause(long now)
{
    if (phase == Phase::Measuring)
        playWanted = false;
    if (phase != Phase::Playing)
        return TransportActions();
    TransportActions a = EndPlayback(now, Phase::Paused);
    a.pause = true;
    a.paused = true;
    return a;
}

TransportActions Transport::PlayPause(long now, long sliderMs)
{
    if (phase == Phase::Playing || (phase == Phase::Measuring && playWanted))
        return Pause(now);
    return Play(now, sliderMs);
}

TransportActions Transport::Stop(long now)
{
    TransportActions a;
    switch (phase) {
    case Phase::Measuring:
        // The muted start goes on: its length is still wanted.
        playWanted = false;
        return a;
    case Phase::Playing:
        a = EndPlayback(now, Phase::Stopped);
        break;
    case Phase::Stopped:
    case Phase::Paused:
    case Phase::AtEnd:
        break;
    case Phase::NoTrack:
    case Phase::Unplayable:
        return a;
    }
    a.stop = true;
    return a;
}

void Transport::SliderMoved()
{
    if (stopwatchOption)
        sliderMoved = true;
}

// --- The media back end -------------------------------------------------------------

TransportActions Transport::FinishMeasurement(long lengthMs)
{
    TransportActions a;
    LearnLength(lengthMs, a);
    a.stop = true;
    a.seek = 0;
    a.unmute = muted;
    a.atZero = true;
    muted = false;
    measureBegun = false;
    phase = Phase::Stopped;
    return a;
}

TransportActions Transport::MediaLoaded()
{
    loaded = true;
    return TransportActions();
}

void Transport::NoteBegun(long tellMs, TransportActions& a)
{
    if (phase != Phase::Playing || begun || tellMs < playStart - kStartSlackMs || tellMs > playStart + kStartWindowMs)
        return;
    begun = true;
    a.rate = speed != 100;
}

TransportActions Transport::MediaPlay(long now, long tellMs, long lengthMs)
{
    if (phase == Phase::Playing) {
        TransportActions a;
        NoteBegun(tellMs, a);
        if (!begun && !seekedAgain) {
            a.seek = playStart;
            seekedAgain = true;
        }
        return a;
    }
    if (phase != Phase::Measuring || !muted || measureBegun)
        return TransportActions();
    // The muted start has begun: the Play asked for meanwhile takes it
    // over; otherwise it ends as soon as the length is known.
    measureBegun = true;
    measureSince = now;
    if (playWanted) {
        TransportActions a = StartAt(now, wantedStart);
        LearnLength(lengthMs, a);
        return a;
    }
    if (lengthMs > 0)
        return FinishMeasurement(lengthMs);
    return TransportActions();
}

TransportActions Transport::MediaStop(long lengthMs)
{
    TransportActions a;
    // Stopped without ever playing or giving a length: the back end cannot
    // play this file.  The track stays open for its tag.
    if (phase == Phase::Measuring && loaded && !measureBegun && lengthMs <= 0) {
        a.unmute = muted;
        a.unplayable = true;
        muted = playWanted = false;
        phase = Phase::Unplayable;
    }
    return a;
}

TransportActions Transport::MediaFinished(long now)
{
    if (phase != Phase::Playing)
        return TransportActions();
    return EndPlayback(now, Phase::AtEnd);
}

TransportActions Transport::Tick(long now, long tellMs, long lengthMs, bool backEndStopped)
{
    TransportActions a;
    if (phase == Phase::Measuring) {
        if (!loaded)
            return a;
        if (!measureBegun) {
            // Until the back end reports that playback began, the muted
            // start is asked for again on every tick.
            a.mute = !muted;
            muted = true;
            a.play = true;
            return a;
        }
        // Tracks without a length header get theirs only while they play,
        // as an estimate; one that gives none keeps the length unknown.
        if (lengthMs > 0 || now - measureSince > kMeasureLimitMs)
            return FinishMeasurement(lengthMs);
        return a;
    }
    if (phase != Phase::Playing)
        return a;
    if (backEndStopped && !stoppedSeen) {
        stoppedSeen = true;
        stoppedSince = now;
    } else if (!backEndStopped) {
        stoppedSeen = false;
    }
    if (stoppedSeen && now - stoppedSince >= kGiveUpMs) {
        // The back end never began, or gave up: playback has ended.
        a = EndPlayback(now, Phase::AtEnd);
        return a;
    }
    a.showPosition = true;
    LearnLength(lengthMs, a);
    NoteBegun(tellMs, a);
    if (begun)
        a.matchAt = Position(now, tellMs);
    return a;
}
