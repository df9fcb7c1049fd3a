// ZaltrimControls: what the panel reads and changes, whatever plug-in format carries it to the
// host. The panel calls these on its own thread, for the user's gestures only; values the host
// sets reach the panel through its slots and never come back through here.
#pragma once

class ZaltrimControls {
 public:
  virtual ~ZaltrimControls() = default;

  // The values in force when the panel opens: the linear gain and the oversampling factor.
  virtual float gain() const = 0;
  virtual int oversampling() const = 0;

  // A user's gain change, linear, always inside a gesture: a press and drag is one gesture with a
  // change per step, a wheel step or a key a gesture with one change.
  virtual void begin_gain_gesture() = 0;
  virtual void change_gain(float linear_gain) = 0;
  virtual void end_gain_gesture() = 0;

  // A user's pick of a valid oversampling factor.
  virtual void pick_oversampling(int factor) = 0;
};
