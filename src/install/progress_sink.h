// Where the unpacker reports how far it has come.
#pragma once

class ProgressSink {
  public:
    // Sets the progress position (0 to 100); returns once it has been taken.
    virtual void SetProgressPos(int position) = 0;

  protected:
    ~ProgressSink() = default;
};
