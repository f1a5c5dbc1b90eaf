#pragma once

// A window whose constructor builds widgets only. Its data are read by
// load(), which the window registry runs under the error boundary: when it
// throws or returns false (having said why) the window is not shown.
class Loadable
{
public:
    virtual ~Loadable() = default;
    virtual bool load() = 0;
};
