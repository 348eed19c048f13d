#pragma once

#include <QString>
#include <array>

// Where a talk stands: set up and not yet started, counting, or paused. Every screen says it in
// the same words, from this one table: the main window's state line, the remote pages (whose
// JSON names it by its key).
enum class RunState { Setup, Running, Paused };

struct RunStateWords {
    RunState state;
    const char *key;      // in the remote view's JSON
    const char16_t *word; // as people read it
};

inline constexpr std::array<RunStateWords, 3> kRunStates{{
    {RunState::Setup, "setup", u"セットアップ中"},
    {RunState::Running, "running", u"進行中"},
    {RunState::Paused, "paused", u"一時停止中"},
}};

inline QString runStateKey(RunState state)
{
    return QString::fromLatin1(kRunStates[static_cast<std::size_t>(state)].key);
}

inline QString runStateWord(RunState state)
{
    return QString::fromUtf16(kRunStates[static_cast<std::size_t>(state)].word);
}

// The main window's state line.
inline QString runStateLine(RunState state)
{
    return QStringLiteral("動作状態：") + runStateWord(state);
}
