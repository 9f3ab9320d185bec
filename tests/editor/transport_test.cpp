// Playback's rules with integers: every phase and the back end's events as
// GStreamer sends them (LOADED before a length, late PLAY, a STOP after a
// later Play, STOP twice at the end, no length at all), the stopwatch, the
// speed and the stamp lead.
#include <gtest/gtest.h>

#include "transport.h"

namespace {

const Controls kNone = {false, false, false, false};
const Controls kReady = {true, false, true, true};

// A newly opened track whose muted start has been asked for at time 0.
Transport Muted(bool stopwatch = false)
{
    Transport t;
    t.UseStopwatch(stopwatch);
    t.Open();
    t.MediaLoaded();
    t.Tick(0, 0, 0, true);
    return t;
}

// The same, measured at 5 s: the length known when PLAY arrives.
Transport Measured(bool stopwatch = false)
{
    Transport t = Muted(stopwatch);
    t.MediaPlay(10, 0, 5000);
    return t;
}

TEST(TransportTest, ANewTrackIsMeasuredMutedAndThenReadyAtZero)
{
    Transport t;
    EXPECT_EQ(kNone, t.EnabledControls());
    EXPECT_TRUE(t.Open().atZero) << "the display leaves the last track's place at once";
    EXPECT_FALSE(t.Tick(0, 0, 0, true).play) << "nothing before the back end reports LOADED";
    t.MediaLoaded();
    TransportActions first = t.Tick(100, 0, 0, true), again = t.Tick(200, 0, 0, true);
    EXPECT_TRUE(first.mute && first.play);
    EXPECT_TRUE(again.play && !again.mute) << "asked again; the noted volume stays the one from before";
    EXPECT_FALSE(t.MediaPlay(250, 0, 0).stop) << "Length() is still 0 when PLAY arrives";
    EXPECT_FALSE(t.Tick(300, 40, 0, false).stop);
    TransportActions done = t.Tick(400, 90, 5000, false);
    EXPECT_TRUE(done.stop && done.unmute && done.atZero && done.lengthKnown && done.seek == 0);
    EXPECT_EQ(Phase::Stopped, t.CurrentPhase());
    EXPECT_EQ(kReady, t.EnabledControls());
    EXPECT_FALSE(t.MediaStop(5000).ended) << "the measurement's own STOP, late";
    EXPECT_EQ(5000, Measured().Length()) << "a length known at PLAY ends it at once";

    // No length ever: the measurement ends at its limit; playing gives one.
    Transport none = Muted();
    none.MediaPlay(0, 0, 0);
    EXPECT_FALSE(none.Tick(kMeasureLimitMs, 0, 0, false).stop);
    EXPECT_FALSE(none.Tick(kMeasureLimitMs + 100, 0, 0, false).lengthKnown);
    none.Play(4000, 0);
    EXPECT_TRUE(none.Tick(4100, 100, 61413, false).lengthKnown);
    EXPECT_EQ(61413, none.Length());
}

TEST(TransportTest, AFileTheBackEndCannotPlayStaysUnplayable)
{
    Transport t;
    t.Open();
    EXPECT_FALSE(t.MediaStop(0).unplayable) << "a STOP before LOADED is the previous track's";
    t.MediaLoaded();
    t.Tick(0, 0, 0, true);
    TransportActions a = t.MediaStop(0);
    EXPECT_TRUE(a.unplayable && a.unmute);
    EXPECT_EQ(kNone, t.EnabledControls());
    EXPECT_FALSE(t.Tick(100, 0, 0, true).play) << "no endless muted starts";
    EXPECT_FALSE(t.Play(200, 0).play);
}

TEST(TransportTest, PlayDuringTheMeasurementStartsAsSoonAsTheMutedStartHasBegun)
{
    Transport t;
    t.Open();
    EXPECT_FALSE(t.PlayPause(0, 0).play) << "kept, not lost";
    EXPECT_EQ((Controls{false, true, false, false}), t.EnabledControls()) << "Pause takes it back";
    t.MediaLoaded();
    t.Tick(100, 0, 0, true);
    TransportActions a = t.MediaPlay(150, 0, 0);
    EXPECT_TRUE(a.started && a.unmute && a.rate && a.seek == 0);
    EXPECT_GE(t.Tick(200, 50, 0, false).matchAt, 0) << "the media already plays";

    // Taken back by Pause; pressed again once the muted start runs: at once.
    Transport u = Muted();
    u.Play(10, 0);
    u.PlayPause(20, 0);
    EXPECT_FALSE(u.MediaPlay(30, 0, 0).started);
    EXPECT_TRUE(u.PlayFrom(40, 1200).started);
    EXPECT_EQ(1200, u.Start());
}

TEST(TransportTest, PlayPauseAndTheEndWithTheBackEndsLateAndDoubledEvents)
{
    Transport t = Measured();
    TransportActions play = t.Play(1000, 1500);
    EXPECT_TRUE(play.rate && play.play && play.started && play.seek == 1500);
    EXPECT_EQ((Controls{false, true, false, true}), t.EnabledControls());
    EXPECT_EQ(1500, t.Position(1010, 90)) << "until PLAY, Tell() still gives the old place";
    EXPECT_LT(t.Tick(1050, 90, 5000, true).matchAt, 0) << "nothing is highlighted before PLAY";
    EXPECT_FALSE(t.MediaStop(5000).ended) << "a STOP is no end: it may be an earlier Stop()'s, late";
    EXPECT_EQ(1500, t.MediaPlay(1055, 17, 5000).seek) << "far from the start: an earlier PLAY, or a dropped seek";
    EXPECT_EQ(-1, t.MediaPlay(1056, 17, 5000).seek) << "asked for once more, not forever";
    EXPECT_LT(t.Tick(1058, 17, 5000, false).matchAt, 0);
    EXPECT_FALSE(t.MediaPlay(1060, 1505, 5000).rate) << "at 100% the rate needs no second setting";
    EXPECT_EQ(1600, t.Tick(1150, 1600, 5000, false).matchAt);

    TransportActions pause = t.Pause(1200);
    EXPECT_TRUE(pause.pause && pause.paused && pause.ended);
    EXPECT_EQ(kReady, t.EnabledControls());
    EXPECT_FALSE(t.CanStamp());
    EXPECT_FALSE(t.MediaFinished(1300).ended);

    t.Play(2000, 1650);
    EXPECT_EQ(1660, t.Tick(2100, 1660, 5000, false).matchAt) << "a tick near the start will do";
    TransportActions end = t.MediaFinished(5400);
    EXPECT_TRUE(end.ended && !end.paused);
    EXPECT_EQ(Phase::AtEnd, t.CurrentPhase());
    EXPECT_FALSE(t.MediaStop(5000).ended) << "the second STOP";

    // A back end that stays stopped while it should play has ended it.
    t.Play(6000, 0);
    t.Tick(6100, 0, 5000, true);
    t.Tick(6200, 0, 5000, false); // it was starting after all
    t.Tick(6300, 0, 5000, true);
    EXPECT_FALSE(t.Tick(6300 + kGiveUpMs - 100, 0, 5000, true).ended);
    EXPECT_TRUE(t.Tick(6300 + kGiveUpMs, 0, 5000, true).ended);
}

TEST(TransportTest, CommandsStopPlaybackButNotTheMeasurement)
{
    Transport t = Measured();
    t.Play(0, 0);
    TransportActions stop = t.Stop(100);
    EXPECT_TRUE(stop.stop && stop.ended);
    EXPECT_EQ(Phase::Stopped, t.CurrentPhase());

    Transport m = Muted();
    EXPECT_FALSE(m.Stop(10).stop);
    EXPECT_EQ(Phase::Measuring, m.CurrentPhase());
    // A save loads the track again: the measurement starts over, sound on.
    EXPECT_TRUE(m.Reload().unmute);
    EXPECT_FALSE(m.Tick(20, 0, 0, true).play) << "until LOADED comes again";
    EXPECT_TRUE(m.Close().stop);
    EXPECT_EQ(Phase::NoTrack, m.CurrentPhase());
}

TEST(TransportTest, TheStopwatchRunsFromEachStartAtThePlaybackSpeed)
{
    Transport t = Measured(true);
    t.Play(10000, 2500);
    EXPECT_EQ(0, t.Start()) << "the stopwatch's time, not the slider's";
    EXPECT_EQ(1000, t.Position(11000, 0));
    EXPECT_TRUE(t.SetSpeed(50, 11000).rate);
    EXPECT_EQ(1500, t.Position(12000, 0));
    t.Pause(12000);
    t.Play(20000, 0);
    EXPECT_EQ(1500, t.Start()) << "a Play after a Pause goes on";
    t.Pause(20000);
    t.SliderMoved();
    t.Play(21000, 3000);
    EXPECT_EQ(0, t.Start()) << "a moved slider starts at 0";
    EXPECT_FALSE(t.SetSpeed(60, 21000).rate);
    EXPECT_EQ(50, t.Speed());
    EXPECT_TRUE(t.MediaPlay(21010, 0, 5000).rate) << "set again once begun: a late Stop() may have reset it";
}

TEST(TransportTest, TheStampLeadIsWallTimeTakenOffAtThePlaybackSpeed)
{
    const long cases[][4] = {{5000, 0, 100, 5000},  {5000, 200, 100, 4800}, {5000, 200, 75, 4850},
                             {5000, 200, 50, 4900}, {150, 200, 100, 0},     {5000, 1000, 50, 4500}};
    for (const auto& c : cases)
        EXPECT_EQ(c[3], LeadStamp(c[0], c[1], static_cast<int>(c[2]))) << c[0] << " " << c[1] << " " << c[2];
}

TEST(TransportTest, TheVolumeFromBeforeTheMeasurementOrFullVolume)
{
    EXPECT_DOUBLE_EQ(0.5, RestoredVolume(0.5));
    EXPECT_DOUBLE_EQ(1.0, RestoredVolume(0.001));
    EXPECT_DOUBLE_EQ(1.0, RestoredVolume(0.0));
    EXPECT_DOUBLE_EQ(0.0011, RestoredVolume(0.0011));
}

} // namespace
