"""The Win32 windows under Wine, on an Xvfb screen: ZELdrv.exe's status strip and its port setup
dialog, and ZELcli.exe driving the driver it starts itself. gui_probe.exe plays the person:
it finds the windows by their captions and works their controls through messages."""

import os
import unittest

import guikit
from guikit import ID, probe
from winekit import WineDriver, WinePrefix

kit = guikit.kit
PREFIX = None
EXPECTED_INI = os.path.join(guikit.HERE, "..", "..", "data", "gui", "win32-setup-stored.ini")
FRAME = "05 02 01 00 03 0B 00 12 34 AB F1 00"  # the worked example "0205 0001 1234AB"
# What the setup dialog's fields are given before OK, in the order of the settings: what a
# pseudo-terminal takes under Wine (it refuses DTR or RTS "Enable", "2 bit", "Even").
SETUP_FIELDS = [("IDC_PORTNUMCBOX", "COM5"), ("IDC_SPEEDCBOX", "19200 baud"),
                ("IDC_STOPBITCBOX", "1 bit"), ("IDC_PARITETCBOX", "None"),
                ("IDC_PERIODCBOX", "Approximately 0.5 second"),
                ("IDC_DTRCONTROLCBOX", "HandShake"), ("IDC_RTSCONTROLCBOX", "HandShake")]


def setUpModule():
    global PREFIX
    PREFIX = WinePrefix(display=True)


def tearDownModule():
    PREFIX.close()


class Case(unittest.TestCase):
    def probe_ok(self, *actions):
        lines, status, said = probe(PREFIX, *actions)
        self.assertEqual(status, 0, "%s\n%s" % ("\n".join(lines), said))
        return lines


class DriverWindow(Case):
    def setUp(self):
        link = os.path.join(kit.scratch(self), "ttyZEL")
        self.sim = kit.Sim(self, "--echo", "off", "--link", link)
        PREFIX.map_port("COM5", link)
        self.configuration = kit.configuration_text("COM5", write_constant=250)
        self.driver = WineDriver(self, PREFIX, configuration=self.configuration).start()

    def stored(self):
        with open(self.driver.configuration_path, "rb") as f:
            return f.read()

    def test_the_strip_sits_on_top_at_the_top_left_and_setup_stores_what_was_chosen(self):
        picture = os.path.join(kit.scratch(self), "strip.ppm")
        fields = [word for name, text in SETUP_FIELDS
                  for word in ("control", ID[name], "set", text)]
        lines = self.probe_ok("window", guikit.MAIN, "rect", "client", "style", "shot", picture,
                              "command", ID["IDM_SETUP"], "window", guikit.SETUP, "style",
                              *fields, "control", ID["IDC_BTOK"], "click", "gone", guikit.SETUP)
        frame, client = ([int(n) for n in line.split()[1:]] for line in lines[1:3])
        self.assertEqual((frame[:2], client[2:]), ([0, 0], [128, 22]), lines)
        # Only the system menu's box in the caption; the dialog has none; both stay on top.
        self.assertEqual(lines[3], "style caption sysmenu topmost")
        self.assertEqual(lines[7], "style caption topmost dialogframe")
        self.assertEqual(lines[-3:], ["control ok", "click ok", "gone ok"])
        # The panel fills the client area but its lowest two rows, black while no status shows.
        width, height, rows = guikit.read_picture(picture)
        left, top = client[0] - frame[0], client[1] - frame[1]
        panel = [row[3 * x:3 * x + 3] for row in rows[top + 2:top + 18]
                 for x in range(left + 2, left + 126)]
        self.assertGreater(panel.count(b"\0\0\0"), 0.9 * len(panel))
        with open(EXPECTED_INI, "rb") as f:
            expected = f.read()
        # The driver stores them once the dialog has gone and the port is set up anew.
        kit.wait_until(lambda: self.stored() == expected, 10)
        self.assertEqual(self.stored(), expected)
        # The port was set up anew with the stored settings.
        self.assertEqual(self.driver.zelctl("run", "PortState").stdout, b"OK\r\n")
        self.assertEqual(self.driver.zelctl("run", "Close").stdout, b"OK\r\n")
        self.assertEqual(self.driver.wait(10), 0)

    def test_settings_the_port_refuses_bring_the_warning_and_store_nothing(self):
        lines = self.probe_ok("window", guikit.MAIN, "command", ID["IDM_SETUP"],
                              "window", guikit.SETUP, "control", ID["IDC_DTRCONTROLCBOX"],
                              "set", "Enable", "control", ID["IDC_BTOK"], "click",
                              "window", guikit.BAR, "control", ID["IDC_WRITEBAR_MESSAGETXT"],
                              "text", "control", ID["IDC_WRITEBAR_OKBTN"], "click",
                              "gone", guikit.BAR)
        self.assertIn('text "Warning !  Can\'t open this resourse !"', lines)
        self.assertEqual(self.stored(), self.configuration.encode())
        self.assertEqual(self.driver.zelctl("run", "PortState").stdout, b"Fail\r\n")

    def test_close_while_the_setup_dialog_is_open_ends_the_driver_and_stores_nothing(self):
        self.probe_ok("window", guikit.MAIN, "command", ID["IDM_SETUP"], "window", guikit.SETUP,
                      "control", ID["IDC_SPEEDCBOX"], "set", "19200 baud")
        result = self.driver.zelctl("run", "Close")
        self.assertEqual((result.returncode, result.stdout), (0, b"OK\r\n"), result.stderr)
        self.assertEqual(self.driver.wait(10), 0)
        self.assertEqual(self.stored(), self.configuration.encode())

    def test_a_hidden_strip_stays_away_until_show_brings_it_back_as_last_told(self):
        hidden = self.driver.zelctl("execute", "Hide", "execute", "Minimize")
        self.assertEqual(hidden.returncode, 0, hidden.stderr)
        self.probe_ok("gone", guikit.MAIN)
        self.assertEqual(self.driver.zelctl("execute", "Show").returncode, 0)
        self.assertIn("minimized", self.probe_ok("window", guikit.MAIN, "style")[-1])
        self.assertEqual(self.driver.zelctl("execute", "NormalSize").returncode, 0)
        self.assertTrue(kit.wait_until(
            lambda: "minimized" not in self.probe_ok("window", guikit.MAIN, "style")[-1], 10))


class ClientWindow(Case):
    """ZELcli.exe beside ZELdrv.exe, which it starts."""

    def setUp(self):
        self.programs = guikit.Programs(self, PREFIX)
        self.client = self.programs.start("ZELcli.exe")
        self.addCleanup(PREFIX.restart)  # the driver, started by the client, is not our child

    def control(self, name, *actions):
        return ["control", ID[name]] + list(actions)

    def exit_ends_both(self):
        lines = self.probe_ok("window", guikit.CLIENT, *self.control("IDC_BUTTON4", "click"),
                              "gone", guikit.CLIENT, "gone", guikit.MAIN)
        self.assertEqual(lines[-3:], ["click ok", "gone ok", "gone ok"])
        self.assertEqual(self.client.wait(10), 0)
        self.assertEqual(self.programs.zelctl("request").returncode, 3)  # no driver serves

    def test_poke_and_d_send_put_the_worked_frame_on_the_line(self):
        entry = [("IDC_HITOEDIT", "2"), ("IDC_LOTOEDIT", "5"), ("IDC_HIFROMEDIT", "0"),
                 ("IDC_LOFROMEDIT", "1"), ("IDC_MEMO", "12 34 AB")]
        lines = self.probe_ok(
            # The client started the driver, minimised.
            "window", guikit.CLIENT, "window", guikit.MAIN, "style", "window", guikit.CLIENT, *self.control("IDC_ESENDBTN", "enabled"),
            *[word for name, text in entry for word in self.control(name, "set", text)],
            *self.control("IDC_POKEBUTTON", "click"), *self.control("IDC_ESENDBTN", "enabled"),
            "click")
        self.assertIn("minimized", [line for line in lines if line.startswith("style")][0])
        self.assertEqual([line for line in lines if line.startswith("enabled")],
                         ["enabled no", "enabled yes"])
        written = "wrote by driver: %s\n" % FRAME
        self.assertTrue(self.programs.sim.wait_for_log(written), self.programs.sim.log())
        self.assertEqual(self.programs.sim.log().count(written), 1)
        self.exit_ends_both()

    def test_a_non_digit_in_an_address_field_shows_the_error_box_and_closes_poke(self):
        lines = self.probe_ok(
            "window", guikit.CLIENT, *self.control("IDC_HITOEDIT", "async", "set", "1x"),
            "window", guikit.ERROR, "control", guikit.MESSAGE_TEXT, "text",
            "control", guikit.MESSAGE_OK, "click", "finish",
            "window", guikit.CLIENT, *self.control("IDC_POKEBUTTON", "enabled"),
            *self.control("IDC_HITOEDIT", "set", "1"), *self.control("IDC_POKEBUTTON", "enabled"))
        self.assertIn('text "Допустимы только цифры"', lines)
        self.assertEqual([line for line in lines if line.startswith("enabled")],
                         ["enabled no", "enabled yes"])
        self.exit_ends_both()


if __name__ == "__main__":
    unittest.main()
