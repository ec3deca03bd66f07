// SPDX-License-Identifier: GPL-2.0
/*
 * Whole-image writes on an fbdev frame buffer.
 *
 * A program that keeps its screen image in memory pushes it with one write()
 * of the whole image after every change and never seeks. The stock fbdev
 * write stores at the file position and advances it, so the second push lands
 * after the first, beyond the visible screen, or fails with ENOSPC when the
 * display memory holds one image only. This module gives a registered frame
 * buffer a write that places every write of exactly one image at the start of
 * the display memory and leaves the file position where it was; every other
 * write behaves as the stock one.
 *
 * On an ARM PrimeCell PL110/PL111 (amba-clcd) it also sets the controller's
 * big-endian pixel order (BEPO), so that at 1, 2 and 4 bits per pixel the most
 * significant bits of a byte are its leftmost pixel.
 *
 * The frame buffer's driver is not changed: the module installs a copy of its
 * fb_ops with fb_write replaced, under the fb_info lock, and puts the
 * original back on unload.
 */

#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/amba/bus.h>	/* amba_part(), used by clcd.h */
#include <linux/amba/clcd.h>
#include <linux/atomic.h>
#include <linux/device.h>
#include <linux/fb.h>
#include <linux/io.h>
#include <linux/minmax.h>
#include <linux/module.h>
#include <linux/rcupdate.h>
#include <linux/slab.h>
#include <linux/string.h>
#include <linux/uaccess.h>
#include <linux/wait_bit.h>

static unsigned int fb;
module_param(fb, uint, 0444);
MODULE_PARM_DESC(fb, "Frame buffer to serve: N for /dev/fbN (default 0)");

static bool bepo = true;
module_param(bepo, bool, 0444);
MODULE_PARM_DESC(bepo,
		 "On a PL110/PL111, show the most significant bit of each byte leftmost (default Y)");

/* The amba-clcd driver: its fb_info is embedded in a struct clcd_fb. */
#define CLCD_DRIVER_NAME "clcd-pl11x"

static struct {
	struct fb_info *info;
	const struct fb_ops *stock_ops;
	struct fb_ops ops;		/* stock_ops with our fb_write */
	struct clcd_fb *bepo_set;	/* the PL11x this module set BEPO on */
	atomic_t writers;		/* callers inside whole_image_write() */
} hook;

/* One image as a program computes it from the variable screen information. */
static u64 image_size(const struct fb_info *info)
{
	const struct fb_var_screeninfo *var = &info->var;

	return (u64)var->xres_virtual * var->yres * var->bits_per_pixel / 8;
}

/*
 * The stock fbdev write (fbmem.c) for drivers without an fb_write of their
 * own: at *ppos, advancing it, within the display memory (EFBIG beyond it,
 * ENOSPC for a write that does not fit).
 */
static ssize_t screen_write(struct fb_info *info, const char __user *buf,
			    size_t count, loff_t *ppos)
{
	unsigned long total_size = info->screen_size ?: info->fix.smem_len;
	unsigned long p = *ppos;
	ssize_t written = 0;
	u8 __iomem *dst;
	u8 *buffer;
	int err = 0;

	if (!info->screen_base)
		return -ENODEV;
	if (p > total_size)
		return -EFBIG;
	if (count > total_size) {
		err = -EFBIG;
		count = total_size;
	}
	if (count + p > total_size) {
		if (!err)
			err = -ENOSPC;
		count = total_size - p;
	}

	buffer = kmalloc(min_t(size_t, count, PAGE_SIZE), GFP_KERNEL);
	if (!buffer)
		return -ENOMEM;

	dst = (u8 __iomem *)info->screen_base + p;
	if (info->fbops->fb_sync)
		info->fbops->fb_sync(info);

	while (count) {
		size_t c = min_t(size_t, count, PAGE_SIZE);

		if (copy_from_user(buffer, buf, c)) {
			err = -EFAULT;
			break;
		}
		fb_memcpy_tofb(dst, buffer, c);
		dst += c;
		buf += c;
		*ppos += c;
		written += c;
		count -= c;
	}

	kfree(buffer);
	return written ? written : err;
}

/*
 * A whole image is a frame, not part of a stream: it is written from the
 * start of the display memory through a position of its own, and the
 * caller's file position stays where it was (as for pwrite()). Any other
 * write goes through the driver's own write at the file position.
 */
static ssize_t whole_image_write(struct fb_info *info, const char __user *buf,
				 size_t count, loff_t *ppos)
{
	ssize_t (*write)(struct fb_info *info, const char __user *buf,
			 size_t count, loff_t *ppos) =
		hook.stock_ops->fb_write ?: screen_write;
	loff_t start = 0;
	ssize_t ret;

	atomic_inc(&hook.writers);
	if (count && count == image_size(info))
		ret = write(info, buf, count, &start);
	else
		ret = write(info, buf, count, ppos);
	if (atomic_dec_and_test(&hook.writers))
		wake_up_var(&hook.writers);
	return ret;
}

static struct fb_info *find_fb(unsigned int index)
{
	struct fb_info *info;
	struct device *dev;
	char name[16];

	snprintf(name, sizeof(name), "fb%u", index);
	dev = class_find_device(fb_class, NULL, name, device_match_name);
	if (!dev)
		return NULL;
	info = dev_get_drvdata(dev);
	put_device(dev);
	return info;
}

static struct clcd_fb *pl11x_of(struct fb_info *info)
{
	struct device *dev = info->device;

	if (!dev || !dev->driver || strcmp(dev->driver->name, CLCD_DRIVER_NAME))
		return NULL;
	return container_of(info, struct clcd_fb, fb);
}

/*
 * BEPO goes into the panel's control word (every later mode set starts from
 * it), into the word the driver writes back when it unblanks, and into the
 * live register, which keeps its enable and power bits. Called under the
 * fb_info lock, which the driver's mode set and blank run under.
 */
static void pl11x_set_bepo(struct clcd_fb *clcd, bool on)
{
	void __iomem *cntl = clcd->regs + clcd->off_cntl;
	u32 value = readl(cntl);

	if (on) {
		clcd->panel->cntl |= CNTL_BEPO;
		clcd->clcd_cntl |= CNTL_BEPO;
		writel(value | CNTL_BEPO, cntl);
	} else {
		clcd->panel->cntl &= ~CNTL_BEPO;
		clcd->clcd_cntl &= ~CNTL_BEPO;
		writel(value & ~CNTL_BEPO, cntl);
	}
}

static int __init whole_image_init(void)
{
	struct fb_info *info = find_fb(fb);
	struct clcd_fb *clcd;

	if (!info) {
		pr_err("there is no frame buffer fb%u\n", fb);
		return -ENODEV;
	}

	lock_fb_info(info);
	hook.info = info;
	hook.stock_ops = info->fbops;
	hook.ops = *info->fbops;
	hook.ops.fb_write = whole_image_write;
	clcd = bepo ? pl11x_of(info) : NULL;
	if (clcd && !(clcd->clcd_cntl & CNTL_BEPO)) {
		pl11x_set_bepo(clcd, true);
		hook.bepo_set = clcd;
	}
	WRITE_ONCE(info->fbops, &hook.ops);
	unlock_fb_info(info);

	pr_info("fb%u: whole-image writes from the start of the screen%s\n", fb,
		hook.bepo_set ? ", bit 7 leftmost" : "");
	if (bepo && !clcd)
		pr_info("fb%u is not a PL110/PL111: its pixel order is left as it is\n", fb);
	return 0;
}

static void __exit whole_image_exit(void)
{
	struct fb_info *info = find_fb(fb);

	/* The frame buffer may have gone with its controller since. */
	if (info == hook.info && READ_ONCE(info->fbops) == &hook.ops) {
		lock_fb_info(info);
		WRITE_ONCE(info->fbops, hook.stock_ops);
		if (hook.bepo_set)
			pl11x_set_bepo(hook.bepo_set, false);
		unlock_fb_info(info);
	}

	/*
	 * A writer that read the copied operations before the swap may not have
	 * entered whole_image_write() yet: let every task pass a quiescent state,
	 * then wait for those inside to leave.
	 */
	synchronize_rcu_tasks();
	wait_var_event(&hook.writers, !atomic_read(&hook.writers));
}

module_init(whole_image_init);
module_exit(whole_image_exit);

MODULE_DESCRIPTION("Whole-image fbdev writes from the start of the screen; PL11x bit 7 leftmost");
MODULE_LICENSE("GPL");
