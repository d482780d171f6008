#pragma once

// Waits the given seconds (fractional allowed) while the event loop keeps
// running, so ticks, clicks and socket data are handled meanwhile. Sleeps in
// the event loop; measures real elapsed time, so midnight does not matter.
void Warten(double seconds);
