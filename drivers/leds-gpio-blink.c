// SPDX-License-Identifier: GPL-2.0
/*
 * LEDs on GPIO lines that can always be told to blink.
 *
 * As leds-gpio: one LED class device per child node of the device-tree node,
 * each on one GPIO line. In addition every LED has "delay_on" and
 * "delay_off" at all times, as attributes of its class device rather than of
 * the timer trigger, so that no trigger needs to be selected and "0" written
 * to "brightness" (which deselects any trigger) leaves them in place.
 *
 * Each delay write stores its value in milliseconds (kstrtoul, base 10) and
 * applies the pair as the timer trigger does:
 *   delay_on 0                  the LED is dark; a running blink ends;
 *   delay_on > 0, delay_off 0   the LED is lit steadily;
 *   both > 0                    the LED core's software timer blinks the line.
 * The one difference: the timer trigger blinks at 1 Hz when both are 0; here
 * that pair is dark, as is every pair with delay_on 0.
 *
 * "0" in "brightness" stops a blink and switches the LED off; the delay files
 * keep their values, and the next write to either applies the pair again.
 * Any brightness from 1 to 255 lights the line; max_brightness is 255, and
 * "brightness" reads the value last applied to the line.
 *
 * Do not select the timer or oneshot trigger: they bring delay_on and
 * delay_off of their own, the LED core fails to add them and, undoing that,
 * removes this driver's files of the same names until the driver is bound
 * again. For the same reason linux,default-trigger is not read. Other
 * triggers work as on any LED.
 */

#include <linux/gpio/consumer.h>
#include <linux/leds.h>
#include <linux/mod_devicetable.h>
#include <linux/module.h>
#include <linux/mutex.h>
#include <linux/platform_device.h>
#include <linux/property.h>
#include <linux/slab.h>
#include <linux/sysfs.h>

struct blink_led {
	struct led_classdev cdev;
	struct gpio_desc *gpiod;
	unsigned long delay_on;		/* ms, as last written */
	unsigned long delay_off;	/* ms, as last written */
	unsigned int applied;		/* brightness last applied to the line */
};

static struct blink_led *to_blink_led(struct device *dev)
{
	struct led_classdev *cdev = dev_get_drvdata(dev);

	return container_of(cdev, struct blink_led, cdev);
}

static void blink_led_set(struct led_classdev *cdev, enum led_brightness value)
{
	struct blink_led *led = container_of(cdev, struct blink_led, cdev);

	gpiod_set_value(led->gpiod, value != LED_OFF);
	WRITE_ONCE(led->applied, value);
}

static int blink_led_set_blocking(struct led_classdev *cdev,
				  enum led_brightness value)
{
	struct blink_led *led = container_of(cdev, struct blink_led, cdev);

	gpiod_set_value_cansleep(led->gpiod, value != LED_OFF);
	WRITE_ONCE(led->applied, value);
	return 0;
}

/*
 * The core's own record can be stale: "0" that ends a blink reaches the line
 * without passing through it, and "brightness" would go on reading the last
 * lit value of the blink.
 */
static enum led_brightness blink_led_get(struct led_classdev *cdev)
{
	return READ_ONCE(container_of(cdev, struct blink_led, cdev)->applied);
}

/* Applies the stored pair; called with the LED's led_access held. */
static void blink_led_apply(struct blink_led *led)
{
	unsigned long on = led->delay_on;
	unsigned long off = led->delay_off;

	if (!on) {
		/* Never on: what "0" in brightness does, blink or no blink. */
		led_set_brightness(&led->cdev, LED_OFF);
		flush_work(&led->cdev.set_brightness_work);
		return;
	}
	/* Lit for off == 0, else blinking; on is not 0, so no 1 Hz default. */
	led_blink_set(&led->cdev, &on, &off);
}

static ssize_t blink_delay_store(struct blink_led *led, unsigned long *delay,
				 const char *buf, size_t size)
{
	unsigned long value;
	ssize_t ret;

	ret = kstrtoul(buf, 10, &value);
	if (ret)
		return ret;

	mutex_lock(&led->cdev.led_access);
	if (led_sysfs_is_disabled(&led->cdev)) {
		ret = -EBUSY;
	} else {
		*delay = value;
		blink_led_apply(led);
		ret = size;
	}
	mutex_unlock(&led->cdev.led_access);
	return ret;
}

/* delay_on and delay_off: the stored value of struct blink_led's field. */
#define BLINK_DELAY_ATTR(_name)						\
static ssize_t _name##_show(struct device *dev,				\
			    struct device_attribute *attr, char *buf)	\
{									\
	return sysfs_emit(buf, "%lu\n", to_blink_led(dev)->_name);	\
}									\
static ssize_t _name##_store(struct device *dev,			\
			     struct device_attribute *attr,		\
			     const char *buf, size_t size)		\
{									\
	struct blink_led *led = to_blink_led(dev);			\
									\
	return blink_delay_store(led, &led->_name, buf, size);		\
}									\
static DEVICE_ATTR_RW(_name)

BLINK_DELAY_ATTR(delay_on);
BLINK_DELAY_ATTR(delay_off);

static struct attribute *blink_attrs[] = {
	&dev_attr_delay_on.attr,
	&dev_attr_delay_off.attr,
	NULL
};
ATTRIBUTE_GROUPS(blink);

static int blink_led_add(struct device *dev, struct fwnode_handle *child,
			 struct blink_led *led)
{
	int ret;

	/* Switched off until told otherwise, as leds-gpio without default-state. */
	led->gpiod = devm_fwnode_gpiod_get(dev, child, NULL, GPIOD_OUT_LOW, NULL);
	if (IS_ERR(led->gpiod))
		return dev_err_probe(dev, PTR_ERR(led->gpiod),
				     "%pfwP: no GPIO line\n", child);

	/* Registered by name, so that the core reads no default trigger. */
	if (fwnode_property_read_string(child, "label", &led->cdev.name))
		led->cdev.name = fwnode_get_name(child);
	led->cdev.max_brightness = LED_FULL;
	led->cdev.flags = LED_CORE_SUSPENDRESUME;
	led->cdev.groups = blink_groups;
	if (gpiod_cansleep(led->gpiod))
		led->cdev.brightness_set_blocking = blink_led_set_blocking;
	else
		led->cdev.brightness_set = blink_led_set;
	led->cdev.brightness_get = blink_led_get;

	ret = devm_led_classdev_register(dev, &led->cdev);
	if (ret)
		return dev_err_probe(dev, ret, "%pfwP: cannot register the LED\n",
				     child);

	/* The line is listed under the LED's name (debugfs "gpio", gpioinfo). */
	return gpiod_set_consumer_name(led->gpiod, dev_name(led->cdev.dev));
}

static int blink_leds_probe(struct platform_device *pdev)
{
	struct device *dev = &pdev->dev;
	struct fwnode_handle *child;
	struct blink_led *leds;
	unsigned int count;
	unsigned int i = 0;
	int ret;

	count = device_get_child_node_count(dev);
	if (!count)
		return dev_err_probe(dev, -ENODEV, "no LEDs described\n");

	leds = devm_kcalloc(dev, count, sizeof(*leds), GFP_KERNEL);
	if (!leds)
		return -ENOMEM;

	device_for_each_child_node(dev, child) {
		ret = blink_led_add(dev, child, &leds[i++]);
		if (ret) {
			fwnode_handle_put(child);
			return ret;
		}
	}
	return 0;
}

/*
 * No MODULE_DEVICE_TABLE: the module is loaded by name, not by modalias, and
 * the modpost of Debian's amd64 kbuild takes struct of_device_id to be 200
 * bytes long in 32-bit modules too (ARM's is 196) and refuses its table.
 */
static const struct of_device_id blink_leds_of_match[] = {
	{ .compatible = "restoremark,gpio-leds-blink" },
	{ }
};

static struct platform_driver blink_leds_driver = {
	.probe = blink_leds_probe,
	.driver = {
		.name = "leds-gpio-blink",
		.of_match_table = blink_leds_of_match,
	},
};
module_platform_driver(blink_leds_driver);

MODULE_DESCRIPTION("GPIO LEDs with delay_on and delay_off at all times");
MODULE_LICENSE("GPL");
