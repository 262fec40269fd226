#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ModuleOption.h"
#include "modulefiles/ModuleFile.h"
#include "numeric/FixedPoint.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "params [options]";

double Fixed(PF_Fixed v) { return DoubleFromFixed(v); }

const char* TypeName(PF_ParamType type) {
    switch (type) {
        case PF_Param_LAYER:
            return "layer";
        case PF_Param_FIX_SLIDER:
            return "fixed slider";
        case PF_Param_ANGLE:
            return "angle";
        case PF_Param_CHECKBOX:
            return "checkbox";
        case PF_Param_POINT:
            return "point";
        case PF_Param_POPUP:
            return "popup";
        case PF_Param_FLOAT_SLIDER:
            return "float slider";
        default:
            return "other";
    }
}

nlohmann::json Describe(int index, const PF_ParamDef& def) {
    nlohmann::json j;
    j["index"] = index;
    j["name"] = def.name;
    j["type"] = TypeName(def.param_type);
    j["param_type"] = def.param_type;
    j["id"] = def.uu.id;
    j["flags"] = def.flags;
    j["animatable"] = (def.flags & PF_ParamFlag_CANNOT_TIME_VARY) == 0;
    switch (def.param_type) {
        case PF_Param_POPUP:
            j["default"] = def.u.pd.dephault;
            j["value"] = def.u.pd.value;
            j["num_choices"] = def.u.pd.num_choices;
            j["choices"] = def.u.pd.u.namesptr != nullptr ? def.u.pd.u.namesptr : "";
            break;
        case PF_Param_POINT:
            j["default"] = {Fixed(def.u.td.x_dephault), Fixed(def.u.td.y_dephault)};
            j["default_unit"] = "percent of the layer";
            j["restrict_bounds"] = def.u.td.restrict_bounds != 0;
            break;
        case PF_Param_FLOAT_SLIDER:
            j["default"] = def.u.fs_d.dephault;
            j["value"] = def.u.fs_d.value;
            j["valid_min"] = def.u.fs_d.valid_min;
            j["valid_max"] = def.u.fs_d.valid_max;
            j["slider_min"] = def.u.fs_d.slider_min;
            j["slider_max"] = def.u.fs_d.slider_max;
            j["precision"] = def.u.fs_d.precision;
            j["curve_tolerance"] = def.u.fs_d.curve_tolerance;
            break;
        case PF_Param_ANGLE:
            j["default"] = Fixed(def.u.ad.dephault);
            j["value"] = Fixed(def.u.ad.value);
            break;
        case PF_Param_FIX_SLIDER:
            j["default"] = Fixed(def.u.fd.dephault);
            j["value"] = Fixed(def.u.fd.value);
            j["valid_min"] = Fixed(def.u.fd.valid_min);
            j["valid_max"] = Fixed(def.u.fd.valid_max);
            j["slider_min"] = Fixed(def.u.fd.slider_min);
            j["slider_max"] = Fixed(def.u.fd.slider_max);
            j["precision"] = def.u.fd.precision;
            j["percent"] = (def.u.fd.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
            break;
        case PF_Param_CHECKBOX:
            j["default"] = def.u.bd.dephault;
            j["value"] = def.u.bd.value;
            j["label"] = def.u.bd.u.nameptr != nullptr ? def.u.bd.u.nameptr : "";
            break;
        default:
            break;
    }
    return j;
}

std::string Range(const nlohmann::json& j) {
    if (!j.contains("valid_min")) return "";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g .. %g", j["valid_min"].get<double>(), j["valid_max"].get<double>());
    return buf;
}

std::string DefaultText(const nlohmann::json& j) {
    const auto& d = j["default"];
    char buf[64];
    if (d.is_array()) {
        std::snprintf(buf, sizeof buf, "%g %%, %g %%", d[0].get<double>(), d[1].get<double>());
    } else if (j.value("percent", false)) {
        std::snprintf(buf, sizeof buf, "%g %%", d.get<double>());
    } else {
        std::snprintf(buf, sizeof buf, "%g", d.get<double>());
    }
    return buf;
}

}  // namespace

int RunParams(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    sim::Host::Options options;
    bool json = false;
    CommandLine line(ctx, kUsage);
    AddModuleOption(line, module_path);
    AddHostOption(line, options.app, "which host to play (default ae)");
    line.Group(OptionGroup::Output);
    line.Flag("json", "print one JSON object instead of a table", json);
    if (!line.Parse(argv, std::cout)) return 0;
    const modulefiles::LoadedModule module(ResolveModulePath(ctx.argv0, module_path));
    sim::Host host(module.entry(), options);
    if (const PF_Err err = host.GlobalSetup()) {
        std::cerr << "quorvel-host: global setup failed with error " << err << "\n";
        return 1;
    }
    if (const PF_Err err = host.ParamsSetup()) {
        std::cerr << "quorvel-host: parameter setup failed with error " << err << "\n";
        return 1;
    }
    const int num_params = host.out_data().num_params;

    nlohmann::json params = nlohmann::json::array();
    for (std::size_t i = 0; i < host.registered_params().size(); ++i) {
        params.push_back(Describe(int(i) + 1, host.registered_params()[i]));
    }
    if (json) {
        nlohmann::json out;
        out["num_params"] = num_params;
        out["params"] = params;
        out["custom_ui_events"] = host.registered_ui().empty() ? 0 : host.registered_ui().back().events;
        std::cout << out.dump(2) << "\n";
    } else {
        std::printf("%-5s %-16s %-13s %-3s %-10s %-16s %s\n", "index", "name", "type", "id", "animatable", "default",
                    "range / choices");
        std::printf("%-5d %-16s %-13s %-3s %-10s %-16s %s\n", 0, "(input layer)", "layer", "-", "-", "-", "-");
        for (const auto& j : params) {
            std::string extra = j.contains("choices") ? j["choices"].get<std::string>() : Range(j);
            if (j.contains("label")) extra = "\"" + j["label"].get<std::string>() + "\"";
            std::printf("%-5d %-16s %-13s %-3d %-10s %-16s %s\n", j["index"].get<int>(),
                        j["name"].get<std::string>().c_str(), j["type"].get<std::string>().c_str(), j["id"].get<int>(),
                        j["animatable"].get<bool>() ? "yes" : "no", DefaultText(j).c_str(), extra.c_str());
        }
        std::printf("num_params %d\n", num_params);
    }
    return ReportHostProblems(host) ? 1 : 0;
}

}  // namespace quorvel::cli
