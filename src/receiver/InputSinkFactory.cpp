#include "InputSinkFactory.h"

#include "LogSink.h"

std::vector<std::string> inputSinkNames()
{
    return {"log"};
}

std::unique_ptr<InputSink> makeInputSink(const std::string& name, std::FILE* out)
{
    if (name == "log")
        return std::make_unique<LogSink>(out);
    return nullptr;
}
