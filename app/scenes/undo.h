// One step back and one step forward for the workspace's clip. Just before a duration
// change, "初期化" or a load replaces the shared clip state, the state it replaces is
// kept as the step back, and any step forward is dropped. Ctrl+Z in the workspace brings
// the step back (the state it replaces becomes the step forward), Ctrl+Y the step
// forward. A step is the clip (format, samples, metadata), whether it was loaded, its
// duration and its file path; the samples move between the state and the steps, never
// copied. Only the state in memory changes: no file is touched. Main thread only.
#pragma once

namespace Scene::Main::Undo {

// Keeps the shared clip state as the step back, taking its clip (the caller puts the new
// one in place next), and drops the step forward.
void Remember();
// Swap the shared clip state with the step back or the step forward; false (nothing
// changed) when there is none.
bool Back();
bool Forward();
// Drops both steps.
void Forget();

}  // namespace Scene::Main::Undo
