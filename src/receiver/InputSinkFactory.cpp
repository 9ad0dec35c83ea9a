#include "InputSinkFactory.h"

#include "LogSink.h"
#include "Notice.h"
#include "UinputSink.h"
#include "XTestSink.h"

std::vector<std::string> inputSinkNames()
{
    return {"log", "xtest", "uinput", "auto"};
}

std::unique_ptr<InputSink> makeInputSink(const std::string& name, LineOutput& out, std::string& error)
{
    if (name == "log")
        return std::make_unique<LogSink>(out);
    if (name == "xtest")
        return XTestSink::open(error);
    if (name == "uinput")
        return UinputSink::open(error);
    if (name == "auto") {
        std::string xError;
        if (auto sink = XTestSink::open(xError)) {
            notice("input goes to the X display through XTEST");
            return sink;
        }
        std::string uinputError;
        if (auto sink = UinputSink::open(uinputError)) {
            notice("input goes to a uinput device (" + xError + ")");
            return sink;
        }
        error = "no way to control this computer: " + xError + "; " + uinputError;
        return nullptr;
    }
    error = "unknown sink '" + name + "'";
    return nullptr;
}
