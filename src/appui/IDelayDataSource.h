#pragma once

// Something that writes the files a pending drag promises, at the moment the
// drop target asks for them. True when the drag's data is ready (files that
// failed to be written are simply missing).
class IDelayDataSource
{
public:
    virtual ~IDelayDataSource() = default;
    virtual bool OnRenderData() = 0;
};
