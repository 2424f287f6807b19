#!/usr/bin/python3
"""Watches a station's board in headless chromium through Selenium (Debian's chromium-driver and
python3-selenium) until each socket's tile is in the state asked for, as a supervisor watches it
live: the page stays open while the station loads, its event stream never ends.

    board_watch.py URL SECONDS PORT=STATE... [--totals TEXT] [--screenshot FILE]

Prints one line per expectation, "ok" or "missing" with what the tile showed, and exits 1 when any
was not met within SECONDS.
"""
import sys

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def main(argv):
    url, seconds = argv[0], float(argv[1])
    wanted, totals, screenshot = {}, None, None
    rest = iter(argv[2:])
    for arg in rest:
        if arg == "--totals":
            totals = next(rest)
        elif arg == "--screenshot":
            screenshot = next(rest)
        else:
            port, state = arg.split("=", 1)
            wanted[port] = state

    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,900",
                 "--disable-background-networking", "--disable-component-update", "--no-first-run"):
        options.add_argument(flag)
    options.binary_location = "/usr/bin/chromium"
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.get(url)

        def state_of(port):
            tiles = driver.find_elements(By.CSS_SELECTOR, f'article[data-port="{port}"]')
            return tiles[0].get_attribute("data-state") if tiles else None

        def totals_text():
            found = driver.find_elements(By.CSS_SELECTOR, ".totals")
            return found[0].text if found else ""

        def all_met(_):
            return all(state_of(port) == state for port, state in wanted.items()) and (
                totals is None or totals in totals_text())

        try:
            WebDriverWait(driver, seconds, poll_frequency=0.1).until(all_met)
        except TimeoutException:
            pass
        failed = 0
        for port, state in wanted.items():
            shown = state_of(port)
            if shown == state:
                print(f"ok: {port} {state}")
            else:
                failed += 1
                print(f"missing: {port} {state} (the tile shows {shown})")
        if totals is not None:
            if totals in totals_text():
                print(f"ok: totals {totals}")
            else:
                failed += 1
                print(f"missing: totals {totals} (shown: {totals_text()})")
        if screenshot:
            driver.save_screenshot(screenshot)
        return 1 if failed else 0
    finally:
        driver.quit()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
