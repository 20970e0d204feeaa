#pragma once

// A filter that settles one reading; built per reading, so it has nothing to release.
class iFilter {
public:
    virtual double getValue() = 0;

protected:
    ~iFilter() = default;
};
