"""What the installer's windows look like in a dialog-driver transcript."""

CAPTION = "Kap HDI driver Installer"
PROGRAM = "Kap HDI driver installer"
LANGUAGES_2004 = ["Cesky", "Deutsch", "English", "Espanol", "Francais", "Italiano", "Japanese",
                  "Magyar", "Modern Chinese", "Polski", "Russkii", "Traditional Chinese"]
LANGUAGES_OLDER = [n for n in LANGUAGES_2004 if n not in ("Cesky", "Magyar", "Polski")]


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def box(title, icon, text):
    return f"msgbox {quote(title)} icon={icon}\ntext {quote(text)}\nbuttons \"OK\""


def error(text):
    return box("Error", "error", text)


def list_dialog(kind, items, selected):
    lines = [f"dialog {kind} {quote(CAPTION)} centred"]
    lines += [f"item {quote(t)}" + (" selected" if i == selected else "")
              for i, t in enumerate(items)]
    return "\n".join(lines)


def products(*names, selected=0):
    return list_dialog("product", names, selected)


def languages(newer, selected=0):
    return list_dialog("language", LANGUAGES_2004 if newer else LANGUAGES_OLDER, selected)


def language_index(name, newer):
    return (LANGUAGES_2004 if newer else LANGUAGES_OLDER).index(name)


NO_HARDCOPY = error("No AutoCAD application is installed on your computer.\nThe setup will close.")
UNEXPECTED = box("Error", "none", "Unexpected error.\n The setup will close.")
NO_PRODUCT = box(PROGRAM, "error", "No AutoCAD is installed on your system.\nThe setup will close")
NOT_ACAD = error("The chosen application is not an AutoCAD application or is corrupted.\n"
                 "The setup will close")
CORRUPTED = error("The chosen application is corrupted.\nThe setup will close.")
CANT_INSTALL = box("Warning", "warning", "The driver can't be installed.\nThe setup will close.")
PATH_TOO_LONG = error("The installation folder path is too long.\nInstallation failed.")
HIF_NOT_OPENED = error(
    "The installation HIF file could not be opened. Check out whether\nthis file exists or not "
    "in your install directory. If this is not\nthe case, contact your driver provider to get "
    "it.\nInstallation failed.")
HIF_NO_KEY = error("There are some missing information in the installation HIF file.\nPlease "
                   "contact your driver provider to get a new HIF file.")
DDK = error("The driver was built with a Driver Development Kit (DDK) more recent \nthan the one "
            "used for the targetted application.In order to install \nthe driver, you must "
            "either update your application to the same \nDDK level or use a less recent "
            "driver.\nInstallation failed.")
SUCCESS = box(PROGRAM, "none",
              "Success !\nThe new Kap HDI driver is now installed.\nEnjoy using it!")
EXIT = "exit 0"


def install(product_steps, newer, language="English"):
    """Product dialog with the first product chosen, then the language."""
    index = language_index(language, newer)
    steps = [product_steps, "ok", languages(newer)]
    if index:
        steps.append(f"select:{index}\nselected {index} {quote(language)}")
    return steps + ["ok"]
