"""What the benchmarks of bench/ measure with: cases run in turns, and the
median of each."""
import statistics


def in_turns(cases, reps, measure):
    """measure(case) for each of the cases, reps times over; each round
    starts one case later than the one before, so that no case always runs
    first. Returns each case's measures, in the order of cases."""
    order = list(cases)
    runs = {name: [] for name in order}
    for rep in range(reps):
        turn = rep % len(order)
        for name in order[turn:] + order[:turn]:
            runs[name].append(measure(cases[name]))
    return runs


def of(runs):
    return {name: statistics.median(values) for name, values in runs.items()}


def printed(runs, digits, indent=""):
    """A line for each case: its median and its measures, in milliseconds.
    Returns the medians."""
    med = of(runs)
    for name, values in runs.items():
        print(f"{indent}{name}: median {med[name]:.{digits}f} ms "
              f"({', '.join(f'{v:.{digits}f}' for v in values)})")
    return med
