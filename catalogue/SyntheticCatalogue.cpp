#include "catalogue/SyntheticCatalogue.h"

#include "catalogue/CatalogueNames.h"
#include "catalogue/ParameterSize.h"

#include <string>

std::string MakeSyntheticCatalogue(const TSyntheticCatalogue &shape)
{
    const TCatalogueNames &names = CatalogueNames();
    const std::string device = shape.Misnamed ? Utf8ToCp1251("прибор") : names.Device;
    const std::string parameter = shape.Misnamed ? Utf8ToCp1251("параметр") : names.Parameter;
    const std::string note = Utf8ToCp1251("Интерфейсный блок, параметры линии связи.");
    // ` name="` before an attribute's value.
    auto attribute = [](const std::string &name) { return " " + name + "=\""; };
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n";
    out += Utf8ToCp1251("<!-- Сгенерированный каталог для замеров. -->\n<Каталог>\n");
    for (int d = 0; d < shape.Devices; ++d) {
        out += "  <" + device + attribute(names.Type) + std::to_string(d) + "\"" +
               attribute(names.Name) + Utf8ToCp1251("Прибор типа ") + std::to_string(d) + "\"" +
               attribute(names.Versions) + "1.00-1.99,2.05\">\n    " + note + "\n";
        for (int p = 0; p < shape.Parameters; ++p) {
            out += "    <" + parameter + attribute(names.Name) + Utf8ToCp1251("Параметр номер ") +
                   std::to_string(p) + "\"" + attribute(names.Type) +
                   (p % 2 ? SizeWord : SizeByte) + "\"" + attribute(names.Index) +
                   std::to_string(p + 1) + "\"" + attribute(names.Divisor) +
                   (p % 3 == 0   ? "1"
                    : p % 3 == 1 ? "10"
                                 : "100") +
                   "\"" + attribute(names.Minimum) + "0\"" + attribute(names.Maximum) + "1000\"" +
                   attribute(names.ByDefault) + "10\"" +
                   (p % 5 == 4 ? attribute(names.Versions) + "1.50-1.99\"" : std::string()) +
                   (p % 8 == 0
                        ? ">" + Utf8ToCp1251("Значение &amp; пояснение") + "</" + parameter + ">\n"
                        : "/>\n");
        }
        out += "  </" + device + ">\n";
    }
    out += Utf8ToCp1251("</Каталог>\n");
    return out;
}
