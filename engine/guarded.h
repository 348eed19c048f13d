#pragma once

// Runs one step of a handler whose steps must each go ahead even when an earlier one failed:
// a live display must keep counting whatever one control or file did.
template <class Step> void guarded(Step &&step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}
