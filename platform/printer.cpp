#include "printer.h"

#include "page_printer.h"
#include "print_destination.h"

#include <utility>

namespace platform {

namespace {

PrinterDevice*& replacement()
{
    static PrinterDevice* p = nullptr;
    return p;
}

} // namespace

QString defaultPrinterName()
{
    return systemDestination().defaultName();
}

PrinterDevice& Printer()
{
    if (replacement())
        return *replacement();
    static PagePrinter system(systemDestination());
    return system;
}

PrinterDevice* setPrinter(PrinterDevice* printer)
{
    return std::exchange(replacement(), printer);
}

} // namespace platform
